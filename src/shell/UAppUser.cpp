#include "shell/UAppUser.h"

TAppUser::TAppUser(QObject* parent) : TXAppUser(parent) {}

TAppUser::~TAppUser() = default;

void TAppUser::Clear() {
    TXAppUser::Clear();
    SetFavorites({});
    SetCultureId(-1);
    SetCultureName({});
    SetSeasonId(-1);
    SetSeasonCode({});
    SetAgreementId(-1);
    SetAgreementName({});
}
