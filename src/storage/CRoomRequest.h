#pragma once

#include "storage/CRecordBinding.h"

// Room, rate, guest-count and room-category queries: an integer and two texts.
class CRoomRequest : public CRecordBinding {
public:
    enum Template {
        RateOfReservationDay,
        RoomCategoryOfReservationDay,
        GuestWebPage,
        // Suite8
        RoomOfPosting,
        AccountCategory,
        RateOfPosting,
        GuestCount,
        RoomCategory,
        RoomCategoryOfReservation,
        InvoiceOfArPayment,
        CustomerAttributes,
        TemplateCount
    };

    CRoomRequest();
    const BindingTable& GetBindingTable() const override;
};
