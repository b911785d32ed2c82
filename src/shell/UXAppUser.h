#pragma once
// The user of this run as the framework knows it: who logged in, with what code and password.
// Every setter that changes a value raises OnChange (TXShellUser), on which the main window refreshes.

#include "shell/UXShellUser.h"

#include <cstdint>
#include <string>

class TXAppUser : public TXShellUser {
public:
    explicit TXAppUser(const char* className = "TXAppUser") : TXShellUser(className) {}

    bool Logged() const override { return mLogged; }
    void SetLogged(bool v) override { Change(mLogged, v); }
    int32_t Id() const override { return mId; }
    void SetId(int32_t v) { Change(mId, v); }
    std::string Code() const override { return mLoginCode; }
    const std::string& LoginCode() const { return mLoginCode; }
    void SetLoginCode(const std::string& v) { Change(mLoginCode, v); }
    std::string Name() const override { return mName; }
    void SetName(const std::string& v) { Change(mName, v); }
    const std::string& Password() const { return mPassword; }
    void SetPassword(const std::string& v) { Change(mPassword, v); }

    // Back to "nobody": not logged, id 0, texts empty.
    virtual void Clear();

protected:
    template <class T>
    void Change(T& field, const T& v) {
        if (field == v)
            return;
        field = v;
        Changed();
    }

private:
    int32_t mId = 0;
    bool mLogged = false;
    std::string mName;
    std::string mPassword;
    std::string mLoginCode;
};
