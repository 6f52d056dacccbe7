#include "storage/CFidelio8Folio.h"

CFidelio8Folio::CFidelio8Folio() {}

const CRecordBinding::BindingTable& CFidelio8Folio::GetBindingTable() const {
    static const BindingTable table = Numbered(
        {IntegerColumn(),     IntegerColumn(),     TextColumn(31),      DoubleColumn(30, 4), IntegerColumn(),
         DoubleColumn(30, 4), IntegerColumn(),     IntegerColumn(),     TextColumn(31),      TextColumn(100),
         IntegerColumn(),     TextColumn(61),      TextColumn(50),      TextColumn(2),       IntegerColumn(),
         IntegerColumn(),     DoubleColumn(30, 4), DoubleColumn(30, 4), TextColumn(50),      TextColumn(50),
         TextColumn(100),     IntegerColumn(),     IntegerColumn(),     IntegerColumn(),     TextColumn(61),
         TextColumn(10),      DoubleColumn(30, 4), IntegerColumn(),     TextColumn(31),      TextColumn(2000),
         IntegerColumn(),     TextColumn(31),      IntegerColumn(),     IntegerColumn(),     TextColumn(31),
         IntegerColumn(),     TextColumn(150),     TextColumn(150),     TextColumn(61)});
    return table;
}
