// The settings file is read back through UnescapePrintable and DecryptText: arbitrary stored text must
// either decode or raise, never read outside its buffers.
#include "foundation/UXCipher.h"
#include "foundation/UXData.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        std::string raw = UnescapePrintable(text);
        // what escapes must come back unchanged
        if (UnescapePrintable(EscapePrintable(raw)) != raw) {
            std::abort();
        }
    } catch (const EXDataError&) {
    }
    try {
        (void)DecryptText(text, kSettingsKey);
    } catch (const EXDataError&) {
    }
    std::string_view plain = text.substr(0, 200);
    if (DecryptText(EncryptText(plain, kUserPasswordKey), kUserPasswordKey) != plain) {
        std::abort();
    }
    return 0;
}
