#include "storage/CStatusTableReader.h"

#include "storage/COperaBase.h"
#include "storage/CSelectOpenRows.h"

bool CStatusTableReader::ReadRows(int statement, std::vector<Row>& rows) {
    CSelectOpenRows select;
    db::Recordset recordset;
    if (!opera.OpenTemplate(select.templates[statement], {}, recordset)) {
        return false;
    }
    using Column = CSelectOpenRows::Column;
    for (; !recordset.IsEOF(); recordset.MoveNext()) {
        select.Read(recordset);
        Row row;
        row.transaction = select.Integer(Column::TrxNo);
        row.trxCode = select.Integer(Column::TrxCode);
        row.status = select.Text(Column::Status);
        row.bill = select.Text(Column::BillNo);
        row.machine = select.Text(Column::Machine);
        row.cashier = select.Text(Column::Cashier);
        row.room = select.Text(Column::Room);
        row.attempt = select.Text(Column::Attempt);
        row.businessDate = select.Text(Column::BusinessDate);
        row.checkNumber = select.Text(Column::CheckNumber);
        row.amount = select.Double(Column::Amount);
        rows.push_back(std::move(row));
    }
    return true;
}

bool CStatusTableReader::ReadOpenRows(std::vector<Row>& rows, std::string& error) {
    if (!ReadRows(CSelectOpenRows::OpenRows, rows)) {
        error = opera.GetLastError();
        return false;
    }
    return true;
}

bool CStatusTableReader::ReadClosedRows(std::vector<Row>& rows) {
    return ReadRows(CSelectOpenRows::ClosedRows, rows);
}

bool CStatusTableReader::ChecksAreBills() const {
    return opera.FullCheckMode();
}

CStatusTableReader::EarlierDates CStatusTableReader::EarlierDatesPolicy() const {
    EarlierDates policy;
    policy.rule = opera.EarlierDatesRule();
    policy.czech = opera.settings.printerType == 10;
    policy.taken = opera.TakesEarlierDates();
    policy.days = opera.settings.earlierDays;
    return policy;
}

bool CStatusTableReader::ReadOpenBusinessDate(std::string& date) {
    return opera.ReadOpenBusinessDate(date);
}

bool CStatusTableReader::ReadBlockedPaymentCodes(std::vector<std::string>& codes) {
    db::Recordset recordset;
    CQBlockPayments& block = opera.blockPayments;
    if (opera.paymentCodes.empty() ||
        !opera.OpenTemplate(block.templates[CQBlockPayments::PaymentEntryState], {}, recordset)) {
        return false;
    }
    for (; !recordset.IsEOF(); recordset.MoveNext()) {
        block.Read(recordset);
        if (block.Text(CQBlockPayments::Billing) == "N") {
            codes.push_back(block.Text(CQBlockPayments::Code));
        }
    }
    return true;
}
