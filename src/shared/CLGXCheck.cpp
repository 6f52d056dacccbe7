#include "shared/CLGXCheck.h"

namespace {

// An array value without its blanks and square brackets at both ends, cut into its elements.
std::vector<std::string> ArrayElements(const std::string& value, size_t maxCount) {
    std::vector<std::string> elements;
    JsonHelper::SplitJsonMembers(JsonHelper::StripBlanksAnd(value, "[]"), maxCount, elements);
    return elements;
}

}  // namespace

void CLGXCheck::FromJson(const std::string& json) {
    ReadMembers(json, [this](const std::string& key, const std::string& value) {
        if (key == "uws") {
            uws = ToInt32(value);
        } else if (key == "rvc") {
            rvc = ToInt32(value);
        } else if (key == "cknum") {
            cknum = ToInt32(value);
        } else if (key == "open_time") {
            open_time = JsonUnescape(value);
        } else if (key == "close_time") {
            close_time = JsonUnescape(value);
        } else if (key == "total") {
            total = JsonUnescape(value);
            totalValue = ToDouble(value);
        } else if (key == "tremp") {
            tremp = ToInt32(value);
        } else if (key == "tremp_lname") {
            tremp_lname = JsonUnescape(value);
        } else if (key == "tremp_fname") {
            tremp_fname = JsonUnescape(value);
        } else if (key == "cashier") {
            cashier = ToInt32(value);
        } else if (key == "waiter") {
            waiter = JsonUnescape(value);
        } else if (key == "tbl") {
            tbl = ToInt32(value);
        } else if (key == "grp") {
            grp = ToInt32(value);
        } else if (key == "gst") {
            gst = ToInt32(value);
        } else if (key == "trans_void") {
            trans_void = ToFlag(value);
        } else if (key == "adj_check") {
            adj_check = ToFlag(value);
        } else if (key == "dtl") {
            for (const std::string& element : ArrayElements(value, kMaxDtl)) {
                dtl.emplace_back(element);
            }
        } else if (key == "tax") {
            for (const std::string& element : ArrayElements(value, kMaxTax)) {
                tax.emplace_back(element);
            }
        }
    });
}

void CLGXCheck::Clear() {
    uws = rvc = cknum = 0;
    open_time.clear();
    close_time.clear();
    total.clear();
    totalValue = 0;
    tremp = 0;
    tremp_lname.clear();
    tremp_fname.clear();
    cashier = 0;
    waiter.clear();
    tbl = grp = gst = 0;
    trans_void = adj_check = false;
    dtl.clear();
    tax.clear();
}

char* CLGXCheck::ToJson(char* buffer, size_t size) {
    BeginObject(buffer, size);
    WriteInt("uws", uws);
    WriteInt("rvc", rvc);
    WriteInt("cknum", cknum);
    WriteText("open_time", open_time);
    WriteText("close_time", close_time);
    WriteText("total", total);
    if (tremp != 0) {
        WriteInt("tremp", tremp);
    }
    if (!tremp_lname.empty()) {
        WriteText("tremp_lname", tremp_lname);
    }
    if (!tremp_fname.empty()) {
        WriteText("tremp_fname", tremp_fname);
    }
    WriteInt("cashier", cashier);
    if (!waiter.empty()) {
        WriteText("waiter", waiter);
    }
    WriteInt("tbl", tbl);
    WriteInt("grp", grp);
    WriteInt("gst", gst);
    WriteFlag("trans_void", trans_void);
    WriteFlag("adj_check", adj_check);
    if (BeginArray("dtl")) {
        bool first = true;
        for (DTL& line : dtl) {
            if (Room() < 2 || (!first && !WriteChar(','))) {
                break;
            }
            WriteNested(line);
            first = false;
        }
        WriteChar(']');
    }
    // The tax lines only while there is room left for at least their opening.
    if (Room() > 9 && BeginArray("tax")) {
        bool first = true;
        for (TAX& line : tax) {
            if ((line.type != 'A' && line.type != 'I') || line.txbl == "0.00") {
                continue;
            }
            if (Room() < 2 || (!first && !WriteChar(','))) {
                break;
            }
            WriteNested(line);
            first = false;
        }
        WriteChar(']');
    }
    EndObject();
    return buffer;
}
