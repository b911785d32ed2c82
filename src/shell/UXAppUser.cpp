#include "shell/UXAppUser.h"

void TXAppUser::Clear() {
    SetLogged(false);
    SetId(0);
    SetName({});
    SetPassword({});
    SetLoginCode({});
}
