#pragma once
// The application's user record: the framework's user plus favourites and the crop, season and
// agreement the user works in by default. Ids are -1 when the user has none.

#include "shell/UXAppUser.h"

class TAppUser : public TXAppUser {
    Q_OBJECT
public:
    explicit TAppUser(QObject* parent = nullptr);
    ~TAppUser() override;

    const std::string& Favorites() const { return mFavorites; }
    int32_t CultureId() const { return mCultureId; }
    const std::string& CultureName() const { return mCultureName; }
    int32_t SeasonId() const { return mSeasonId; }
    const std::string& SeasonCode() const { return mSeasonCode; }
    int32_t AgreementId() const { return mAgreementId; }
    const std::string& AgreementName() const { return mAgreementName; }

    void SetFavorites(const std::string& v) { Change(mFavorites, v); }
    void SetCultureId(int32_t v) { Change(mCultureId, v); }
    void SetCultureName(const std::string& v) { Change(mCultureName, v); }
    void SetSeasonId(int32_t v) { Change(mSeasonId, v); }
    void SetSeasonCode(const std::string& v) { Change(mSeasonCode, v); }
    void SetAgreementId(int32_t v) { Change(mAgreementId, v); }
    void SetAgreementName(const std::string& v) { Change(mAgreementName, v); }

    void Clear() override;

private:
    std::string mFavorites;
    int32_t mCultureId = -1;
    std::string mCultureName;
    int32_t mSeasonId = -1;
    std::string mSeasonCode;
    int32_t mAgreementId = -1;
    std::string mAgreementName;
};
