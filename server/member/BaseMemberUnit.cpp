#include "BaseMemberUnit.h"

TBaseMember* MemberCard = nullptr;
