#include "sql/UXDBField.h"

std::string_view DBFieldTypeName(TXDBFieldType t) {
    switch (t) {
    case dftChar:
        return "CHAR";
    case dftVarchar:
        return "VARCHAR";
    case dftNumber:
        return "NUMBER";
    case dftDate:
        return "DATE";
    case dftDateTime:
        return "DATETIME";
    case dftTime:
        return "TIME";
    case dftBlob:
        return "BLOB";
    }
    return "";
}
