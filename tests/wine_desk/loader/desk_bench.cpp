#include "desk_bench.h"

#include "platform/sim/model/bench.h"
#include "platform/sim/model/text.h"

#include <windows.h>

namespace desk {
namespace {

const wchar_t kKey[] = L"Software\\Tamberlyx\\Wine desk";
const wchar_t kValue[] = L"Bench";
constexpr DWORD kMaxPathBytes = 32768 * sizeof(wchar_t);

}  // namespace

bool readMachine(const std::string& benchPath, sim::Machine* machine, std::string* error) {
    if (!benchPath.empty()) return sim::loadBenchFile(benchPath, machine, error);
    *machine = sim::defaultBench();
    return true;
}

bool rememberBench(const std::string& benchPath) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) != 0)
        return false;
    std::u16string path = sim::utf8ToUtf16(benchPath);
    LONG result = RegSetValueExW(key, kValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                                 static_cast<DWORD>((path.size() + 1) * sizeof(char16_t)));
    RegCloseKey(key);
    return result == 0;
}

bool servedMachine(sim::Machine* machine, std::string* error) {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_QUERY_VALUE, &key) != 0) {
        *error = "no machine was loaded into the desk";
        return false;
    }
    // The value as stored, whatever its size claims, read into a buffer one
    // terminator longer than the largest path.
    std::u16string path(kMaxPathBytes / sizeof(char16_t) + 1, u'\0');
    DWORD type = 0, bytes = kMaxPathBytes;
    LONG result = RegQueryValueExW(key, kValue, nullptr, &type, reinterpret_cast<BYTE*>(&path[0]), &bytes);
    RegCloseKey(key);
    if (result != 0 || type != REG_SZ) {
        *error = "the desk's bench is not named in the registry";
        return false;
    }
    path.resize(path.find(u'\0'));
    return readMachine(sim::utf16ToUtf8(path), machine, error);
}

}  // namespace desk
