#include "shared/DTL.h"

void DTL::FromJson(const std::string& json) {
    ReadMembers(json, [this](const std::string& key, const std::string& value) {
        if (key == "type") {
            type = FirstChar(value);
        } else if (key == "objnum") {
            objnum = ToUInt32(value);
        } else if (key == "name") {
            name = JsonUnescape(value);
        } else if (key == "name2") {
            name2 = JsonUnescape(value);
        } else if (key == "qty") {
            qty = ToInt32(value);
        } else if (key == "qtf") {
            qtf = ToDouble(value);
        } else if (key == "ttl") {
            ttl = JsonUnescape(value);
            ttlValue = ToDouble(value);
        } else if (key == "tax") {
            tax = ToInt32(value);
        } else if (key == "mgnum") {
            mgnum = ToInt32(value);
        } else if (key == "mgname") {
            mgname = JsonUnescape(value);
        } else if (key == "fgnum") {
            fgnum = ToInt32(value);
        } else if (key == "fgname") {
            fgname = JsonUnescape(value);
        } else if (key == "taxpm") {
            taxpm = ToInt32(value);
        } else if (key == "taxps") {
            taxps = ToInt32(value);
        } else if (key == "qtyname") {
            qtyname = JsonUnescape(value);
        } else if (key == "agenttype") {
            agenttype = ToInt32(value);
        } else if (key == "supplname") {
            supplname = JsonUnescape(value);
        } else if (key == "supplinn") {
            supplinn = JsonUnescape(value);
        } else if (key == "supplphone") {
            supplphone = JsonUnescape(value);
        } else if (key == "excisemark") {
            excisemark = JsonUnescape(value);
        }
    });
    if (qtf == 0) {
        qtf = qty;
    }
}

char* DTL::ToJson(char* buffer, size_t size) {
    BeginObject(buffer, size);
    WriteCharText("type", type);
    WriteUInt("objnum", objnum);
    WriteText("name", name);
    if (!name2.empty()) {
        WriteText("name2", name2);
    }
    if (type == 'D' || type == 'M' || type == 'S') {
        WriteInt("qty", qty);
        WriteDouble("qtf", qtf);
        WriteText("ttl", ttl);
        WriteInt("tax", tax);
    }
    if (type == 'M') {
        if (mgnum > 0) {
            WriteInt("mgnum", mgnum);
        }
        if (fgnum > 0) {
            WriteInt("fgnum", fgnum);
        }
        if (!mgname.empty()) {
            WriteText("mgname", mgname);
        }
        if (!fgname.empty()) {
            WriteText("fgname", fgname);
        }
        if (agenttype > 0) {
            WriteInt("agenttype", agenttype);
            // The server expects these three keys with capitals; the reader ignores case.
            if (!supplname.empty()) {
                WriteText("supplName", supplname);
            }
            if (!supplinn.empty()) {
                WriteText("supplINN", supplinn);
            }
            if (!supplphone.empty()) {
                WriteText("supplPhone", supplphone);
            }
        }
        if (!excisemark.empty()) {
            WriteText("excisemark", excisemark);
        }
    }
    if (type == 'T') {
        WriteText("ttl", ttl);
    }
    EndObject();
    return buffer;
}
