#pragma once

#include <string>

// A member-card reader/writer as the interface sees it. The operations keep this declaration
// order: installations supply device classes against it.
class TBaseMember {
public:
    virtual void ShowOptionDialog() = 0;
    virtual void OpenPort() = 0;
    virtual void ClosePort() = 0;
    // Nothing calls this one; it holds its place so the operations after it keep theirs.
    virtual void Reserved() {}
    virtual void Beep() = 0;
    // Channel -1 is the hotel's own membership card, 11 the alliance card; other values are
    // passed on as they come. Answers true when the card was written.
    virtual bool WriteCard(std::string CardNo, std::string SecondValue, std::string ThirdValue,
                           std::string FourthValue, int Channel) = 0;
    // Each output receives a pointer to a NUL-terminated text the device owns, or is left as it
    // was. The caller copies every output right after the call and treats null as empty; the
    // device relies on no input value of an output. Answers true when a card was read.
    virtual bool ReadCard(bool Flag, const char*& CardNo, const char*& Password,
                          const char*& ExpireDate, const char*& GuestName, const char*& Score,
                          int Channel) = 0;

    // Declared last so that the operations above come first in the table of virtual functions.
    virtual ~TBaseMember() = default;
};

// The installed member-card device, or null; set and freed by the program entry.
extern TBaseMember* MemberCard;
