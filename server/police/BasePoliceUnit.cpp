#include "BasePoliceUnit.h"

TBasePolice* Police = nullptr;
