#include "shell/UAppUser.h"

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
