#pragma once
// The application's user record: the framework's user plus favourites and the crop, season and
// agreement the user works in by default. Ids are -1 when the user has none.

#include "shell/UXAppUser.h"

class TAppUser : public TXAppUser {
public:
    TAppUser() : TXAppUser("TAppUser") {}

    std::string Favorites() const override { return mFavorites; }
    void SetFavorites(const std::string& v) override { Change(mFavorites, v); }
    int32_t CultureId() const { return mCultureId; }
    void SetCultureId(int32_t v) { Change(mCultureId, v); }
    std::string CropName() const override { return mCultureName; }
    const std::string& CultureName() const { return mCultureName; }
    void SetCultureName(const std::string& v) { Change(mCultureName, v); }
    int32_t SeasonId() const { return mSeasonId; }
    void SetSeasonId(int32_t v) { Change(mSeasonId, v); }
    std::string SeasonCode() const override { return mSeasonCode; }
    void SetSeasonCode(const std::string& v) { Change(mSeasonCode, v); }
    int32_t AgreementId() const { return mAgreementId; }
    void SetAgreementId(int32_t v) { Change(mAgreementId, v); }
    const std::string& AgreementName() const { return mAgreementName; }
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
