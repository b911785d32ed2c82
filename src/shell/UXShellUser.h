#pragma once
// What the main window reads and writes of the application user. The login's user record implements
// it (and fills it at login); TXShellUserRecord is the plain record used when no other is installed.

#include "foundation/UXObject.h"

#include <cstdint>
#include <functional>
#include <string>

class TXShellUser : public TXObject {
public:
    explicit TXShellUser(const char* className) : TXObject(className) {}

    virtual bool Logged() const = 0;
    virtual void SetLogged(bool logged) = 0;
    virtual int32_t Id() const = 0;
    virtual std::string Code() const = 0; // the login code
    virtual std::string Name() const = 0;
    virtual std::string Favorites() const = 0; // packed favourite buttons
    virtual void SetFavorites(const std::string& favorites) = 0;
    virtual std::string CropName() const = 0;
    virtual std::string SeasonCode() const = 0;

    // Raised by every setter that changes a value; the main window refreshes its status bar.
    std::function<void()> OnChange;

protected:
    void Changed() {
        if (OnChange)
            OnChange();
    }
};

class TXShellUserRecord : public TXShellUser {
public:
    TXShellUserRecord() : TXShellUser("TXShellUserRecord") {}

    bool Logged() const override { return mLogged; }
    void SetLogged(bool v) override { Set(mLogged, v); }
    int32_t Id() const override { return mId; }
    void SetId(int32_t v) { Set(mId, v); }
    std::string Code() const override { return mCode; }
    void SetCode(const std::string& v) { Set(mCode, v); }
    std::string Name() const override { return mName; }
    void SetName(const std::string& v) { Set(mName, v); }
    std::string Favorites() const override { return mFavorites; }
    void SetFavorites(const std::string& v) override { Set(mFavorites, v); }
    std::string CropName() const override { return mCropName; }
    void SetCropName(const std::string& v) { Set(mCropName, v); }
    std::string SeasonCode() const override { return mSeasonCode; }
    void SetSeasonCode(const std::string& v) { Set(mSeasonCode, v); }

private:
    template <class T>
    void Set(T& field, const T& v) {
        if (field == v)
            return;
        field = v;
        Changed();
    }

    bool mLogged = false;
    int32_t mId = 0;
    std::string mCode, mName, mFavorites, mCropName, mSeasonCode;
};
