#pragma once
// The user of this run: who logged in, with what code and password. Every change raises OnChange,
// on which the main window refreshes what it shows about the user.

#include <QObject>

#include <cstdint>
#include <string>

class TXAppUser : public QObject {
    Q_OBJECT
public:
    explicit TXAppUser(QObject* parent = nullptr);
    ~TXAppUser() override;

    int32_t Id() const { return mId; }
    bool Logged() const { return mLogged; }
    const std::string& Name() const { return mName; }
    const std::string& Password() const { return mPassword; }
    const std::string& LoginCode() const { return mLoginCode; }

    // Each setter raises OnChange only when the value differs.
    void SetId(int32_t v) { Change(mId, v); }
    void SetLogged(bool v) { Change(mLogged, v); }
    void SetName(const std::string& v) { Change(mName, v); }
    void SetPassword(const std::string& v) { Change(mPassword, v); }
    void SetLoginCode(const std::string& v) { Change(mLoginCode, v); }

    // Back to "nobody": not logged, id 0, texts empty.
    virtual void Clear();

signals:
    void OnChange();

protected:
    template <class T>
    void Change(T& field, const T& v) {
        if (field == v)
            return;
        field = v;
        emit OnChange();
    }

private:
    int32_t mId = 0;
    bool mLogged = false;
    std::string mName;
    std::string mPassword;
    std::string mLoginCode;
};
