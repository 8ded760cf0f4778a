#include "station/customer_definition.h"

#include <cmath>
#include <vector>

#include "link/command_support.h"
#include "script/script_line.h"

namespace station {

namespace {

constexpr std::size_t kCustomerFolderLimit = 20;

struct Entry {
  std::string key;
  std::string name;
};

// Every line of the first 40 reads, split into key and name; false when the
// file cannot be opened.
bool read_entries(std::vector<Entry>* entries) {
  std::FILE* CustDefine = std::fopen(kCustDefineFile, "rb");
  if (!CustDefine) return false;
  for (int read = 0; read < kCustDefineReads; ++read) {
    auto line = script::read_script_line(CustDefine, kCustDefineReadLimit);
    if (!line) break;
    script::cut_line_end(*line);
    auto words = script::split_words(*line, 2);
    entries->push_back({words[0], words[1]});
  }
  std::fclose(CustDefine);
  return true;
}

}  // namespace

std::optional<int> read_index_qm() {
  std::vector<Entry> entries;
  if (!read_entries(&entries)) return std::nullopt;
  int index_qm = 0;
  for (const Entry& e : entries) {
    if (e.name == "qm") {
      // Cut toward zero, as an integer conversion of the decimal key does. A
      // key beyond any int (or not a number at all) names no customer.
      const double key = std::trunc(wire::to_decimal(e.key));
      index_qm = key > -2147483648.0 && key < 2147483648.0 ? static_cast<int>(key) : 0;
      break;
    }
  }
  return index_qm;
}

CustomerLookup find_customer(int customer, int sub_number, std::string* script) {
  std::vector<Entry> entries;
  if (!read_entries(&entries)) return CustomerLookup::kNoFile;
  // Compared in tenths, so that 12.3 matches customer 12 with sub-number 3
  // without floating-point luck.
  const double wanted = customer * 10.0 + sub_number;
  for (const Entry& e : entries) {
    if (e.name.empty()) continue;  // a key without a script names nothing
    if (std::fabs(wire::to_decimal(e.key) * 10.0 - wanted) < 1e-6) {
      if (script) *script = e.name;
      return CustomerLookup::kFound;
    }
  }
  return CustomerLookup::kNotFound;
}

std::string customer_folder(const std::string& script) {
  return script.substr(0, std::min(script.find('.'), kCustomerFolderLimit));
}

std::string read_ma_no(const std::string& script) {
  const std::string path = customer_folder(script) + "/MA_NO";
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return {};
  char text[kMaNoLength] = {};
  const std::size_t n = std::fread(text, 1, kMaNoLength, f);
  std::fclose(f);
  std::string shown(text, n);
  // Shown as a text: it ends at a zero byte, and a line end has no place on the panel.
  shown = shown.substr(0, shown.find('\0'));
  while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r')) shown.pop_back();
  return shown;
}

}  // namespace station
