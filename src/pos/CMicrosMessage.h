#pragma once

#include "pos/CPMSMessage.h"

// The frames of the POS interface with a source column of nine characters.
class CMicrosMessage : public CPMSMessage {
public:
    static constexpr int kSourceWidth = 9;

    CMicrosMessage() : CPMSMessage(kSourceWidth) {}
};
