#pragma once

#include <map>
#include <string>
#include <vector>

#include "Reconciliation.h"
#include "ServiceFolder.h"

// The parts of the demo's summary that every demo hotel prints.

// One row of the status table as the summary shows it.
struct Row {
    int trxNo = 0;
    std::string code, description, amount, room, bill, status, printer, fiscalNumber, businessDate;
};

std::map<int, Row> ReadRows(ServiceFolder& run);
// The lines that tell why a transaction ended as it did: the service writes a check's text at
// the start of its processing, so what it logged about the transaction lies between the first of
// its last run of check texts and the next text of another check. Only the lines that report an
// outcome are kept.
std::vector<std::string> Reasons(const std::vector<std::string>& log, int trxNo);
void Heading(const std::string& title);
// "1 payment", "2 payments": a count and its noun in plain words.
std::string Counted(size_t count, const std::string& noun);
// The text padded with blanks to a width in characters (UTF-8 texts have several bytes to some).
std::string Pad(const std::string& utf8, size_t width);
// The documents the printer manager recorded, each with the status rows that name it.
void ShowRegistered(const std::vector<ServiceFolder::Registered>& records, const std::map<int, Row>& rows);
void ShowStatusLetters(const std::map<int, Row>& rows);
// The check journal files of the printers in the folder.
void ShowJournal(const std::string& folder);
// The status rows against everything the devices registered (Reconciliation), under its heading;
// each mismatch joins the problems, so that the demo fails on it.
void ShowReconciliation(ServiceFolder& run, const Reconciliation::Expected& expected,
                        std::vector<std::string>& problems);
