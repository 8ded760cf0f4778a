// Any customer definition file and any "MA_NO": reading the "qm" line,
// searching a customer and choosing it must end with a script name or a
// message, never a crash, an overrun or a text longer than its limits.
//
// Input: byte 0 is the customer number (signed 8 bits, as the panel holds
// it), byte 1 the sub-number (mod 10); then the "custdefine" file up to the
// first 0xFF byte, and after it the "MA_NO" file of the chosen customer.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/headless_ui.h"
#include "platform/user_interface.h"
#include "station/customer_choice.h"
#include "station/customer_definition.h"

namespace {

void write_file(const std::string& name, const std::string& content) {
  if (std::FILE* f = std::fopen(name.c_str(), "wb")) {
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
  }
}

// Descriptors this process holds open: a read that left its file open shows
// as one more.
int open_descriptors() {
  int n = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    ++n;
  }
  return n;
}

// A folder name the fuzzer may create inside its scratch folder.
bool plain_folder_name(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char dir[] = "/tmp/ffsload-fuzz-custdefine-XXXXXX";
  if (!mkdtemp(dir) || chdir(dir) != 0) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int customer = static_cast<std::int8_t>(data[0]);
  const int sub_number = data[1] % 10;
  const std::string rest(reinterpret_cast<const char*>(data) + 2, size - 2);
  const std::size_t split = rest.find('\xFF');
  const std::string custdefine = rest.substr(0, split);
  const std::string ma_no = split == std::string::npos ? std::string() : rest.substr(split + 1);

  // A fresh one per input: message boxes are kept, and would pile up.
  platform::HeadlessUserInterface ui;
  platform::set_user_interface(&ui);
  write_file(station::kCustDefineFile, custdefine);

  // Put "MA_NO" where the chosen customer's folder is, when the name is one
  // this scratch folder can hold.
  std::string script;
  std::string folder;
  if (station::find_customer(customer, sub_number, &script) == station::CustomerLookup::kFound) {
    if (script.size() >= station::kCustDefineReadLimit) std::abort();  // longer than a read gives
    folder = station::customer_folder(script);
    if (plain_folder_name(folder) && ::mkdir(folder.c_str(), 0700) == 0) {
      write_file(folder + "/MA_NO", ma_no);
    } else {
      folder.clear();
    }
  }

  if (!station::read_index_qm()) std::abort();  // the file is there
  const int open_before = open_descriptors();
  const station::CustomerChoice chosen = station::choose_customer(customer, sub_number);
  if (chosen.error.empty()) {
    if (chosen.script.empty() || chosen.script.size() >= station::kCustDefineReadLimit)
      std::abort();
    if (chosen.ma_no.size() > station::kMaNoLength) std::abort();
  }
  if (open_descriptors() != open_before) std::abort();  // every read closes the file

  if (!folder.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
  platform::set_user_interface(nullptr);
  return 0;
}
