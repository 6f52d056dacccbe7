#pragma once

#include "storage/CRecordBinding.h"

// Room, rate, guest-count and room-category queries: an integer and two texts.
class CRoomRequest : public CRecordBinding {
public:
    enum Template { RateOfReservationDay, RoomCategoryOfReservationDay, GuestWebPage, TemplateCount };

    CRoomRequest();
    const BindingTable& GetBindingTable() const override;
};
