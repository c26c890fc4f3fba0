#include "engine/variables.h"

#include <windows.h>

#include "startup/state.h"
#include "text/text.h"

namespace en {

std::string ReadRegistryText(long long root, const std::string& key, const std::string& name) {
  if (root < 0 || root > 0x7FFFFFFF) return std::string();
  HKEY rootKey = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000000u + root));
  HKEY handle = nullptr;
  if (RegOpenKeyExA(rootKey, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
    return std::string();
  }
  std::string text;
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(handle, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
    std::string data(size + 1, '\0');
    if (RegQueryValueExA(handle, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data[0]),
                         &size) == ERROR_SUCCESS) {
      data.resize(size);
      if (type == REG_SZ || type == REG_EXPAND_SZ) {
        text = data.c_str();
        if (type == REG_EXPAND_SZ) {
          const DWORD n = ExpandEnvironmentStringsA(text.c_str(), nullptr, 0);
          std::string expanded(n + 1, '\0');
          ExpandEnvironmentStringsA(text.c_str(), &expanded[0], n + 1);
          text = expanded.c_str();
        }
      } else if (type == REG_DWORD && size >= 4) {
        DWORD value;
        memcpy(&value, data.data(), 4);
        text = qb::Decimal(value);
      } else if (type == REG_DWORD_BIG_ENDIAN) {
        text = "0";
      }
    }
  }
  RegCloseKey(handle);
  return text;
}

void LoadRegistryVariables() {
  qb::RecordList& list = st::Package.Records(qb::List::kRegistryVariables);
  std::vector<std::string> values;
  for (size_t r = 0; r < list.Count(); ++r) {
    std::string value =
        ReadRegistryText(qb::ReadNumber(list.Field(r, 0)), list.Field(r, 1), list.Field(r, 2));
    values.push_back(value.empty() ? list.Field(r, 3) : value);
  }
  list.width = 1;
  list.items = std::move(values);
}

std::string ExpandText(const std::string& text) {
  // The variable table arrives with the installation engine; until then texts
  // are used as stored.
  return text;
}

}  // namespace en
