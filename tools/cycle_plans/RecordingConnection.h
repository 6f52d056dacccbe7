#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "storage/db/Connection.h"

namespace cycleplans {

// A connection that runs every statement through the one it wraps and notes its text, as the
// back-end gave it, in the order they ran.
class RecordingConnection : public db::Connection {
public:
    // gone is called when the connection goes (the back-end drops it after a failed statement).
    RecordingConnection(std::unique_ptr<db::Connection> inner, std::function<void()> gone)
        : inner(std::move(inner)), gone(std::move(gone)) {}
    ~RecordingConnection() override {
        if (gone) {
            gone();
        }
    }
    RecordingConnection(const RecordingConnection&) = delete;
    RecordingConnection& operator=(const RecordingConnection&) = delete;

    void SetPmsSchema(const std::string& schema) override { inner->SetPmsSchema(schema); }
    void SetReadOnly() override { inner->SetReadOnly(); }
    bool Open(const std::string& connectionString) override { return Took(inner->Open(connectionString)); }
    bool IsOpen() const override { return inner->IsOpen(); }
    void Close() override { inner->Close(); }
    void SetCommandTimeout(int seconds) override { inner->SetCommandTimeout(seconds); }
    bool Execute(const std::string& sql) override {
        statements.push_back(sql);
        return Took(inner->Execute(sql));
    }
    bool OpenRecordset(const std::string& sql, db::Recordset& recordset) override {
        statements.push_back(sql);
        return Took(inner->OpenRecordset(sql, recordset));
    }

    // The statements run since the last call.
    std::vector<std::string> TakeStatements() { return std::exchange(statements, {}); }
    // Its owner goes first: nobody is to be told any more.
    void ForgetOwner() { gone = nullptr; }

private:
    // The wrapped connection's messages are this one's.
    bool Took(bool result) {
        errors = inner->Errors();
        return result;
    }

    std::unique_ptr<db::Connection> inner;
    std::function<void()> gone;
    std::vector<std::string> statements;
};

// A back-end whose statements are noted from the moment it starts recording.
template <class BackEnd>
class Recorded : public BackEnd {
public:
    Recorded() = default;
    Recorded(const Recorded&) = delete;
    Recorded& operator=(const Recorded&) = delete;
    // The back-end's connection outlives this part of the object.
    ~Recorded() override {
        if (recorder) {
            recorder->ForgetOwner();
        }
    }
    // Connects and wraps the connection; false when it cannot connect.
    bool StartRecording() {
        if (!this->IsConnected() && !this->Connect()) {
            return false;
        }
        auto wrapped = std::make_unique<RecordingConnection>(std::move(this->connection),
                                                             [this] { recorder = nullptr; });
        recorder = wrapped.get();
        this->connection = std::move(wrapped);
        return true;
    }
    // The statements run since the last call. A failed statement closes the connection and the
    // back-end makes a plain one: then false, and what ran after it is not known.
    bool TakeStatements(std::vector<std::string>& statements) {
        if (!recorder) {
            return false;
        }
        statements = recorder->TakeStatements();
        return true;
    }

private:
    RecordingConnection* recorder = nullptr;
};

}  // namespace cycleplans
