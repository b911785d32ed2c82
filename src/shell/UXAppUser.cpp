#include "shell/UXAppUser.h"

TXAppUser::TXAppUser(QObject* parent) : QObject(parent) {}

TXAppUser::~TXAppUser() = default;

void TXAppUser::Clear() {
    SetLogged(false);
    SetId(0);
    SetName({});
    SetPassword({});
    SetLoginCode({});
}
