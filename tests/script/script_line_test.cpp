#include "script/script_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Every part the reader returns for the given file content, line ends cut.
std::vector<std::string> parts_of(const std::string& content) {
  std::FILE* f = std::tmpfile();
  std::fwrite(content.data(), 1, content.size(), f);
  std::rewind(f);
  std::vector<std::string> parts;
  while (auto line = script::read_script_line(f)) {
    script::cut_line_end(*line);
    parts.push_back(*line);
  }
  std::fclose(f);
  return parts;
}

}  // namespace

TEST(ScriptLines, long_lines_are_read_in_parts_of_thirty_nine_characters) {
  const std::string fifty(50, 'x');
  EXPECT_EQ(parts_of(fifty + "\n"),
            (std::vector<std::string>{fifty.substr(0, 39), fifty.substr(39)}));
  // 39 characters: read whole, and its line feed forms an empty line of its own.
  const std::string thirty_nine(39, 'y');
  EXPECT_EQ(parts_of(thirty_nine + "\nti\n"), (std::vector<std::string>{thirty_nine, "", "ti"}));
  // 38 characters and the line feed fit one read.
  const std::string thirty_eight(38, 'z');
  EXPECT_EQ(parts_of(thirty_eight + "\n"), std::vector<std::string>{thirty_eight});
}

TEST(ScriptLines, line_end_is_removed_wherever_it_stands) {
  // A line of 30 to 38 characters keeps no line feed (a saved log would break it in two).
  const std::string thirty_five = "fwr afcdac afcdac_with_long_name_x";
  ASSERT_EQ(thirty_five.size(), 34u);
  EXPECT_EQ(parts_of(thirty_five + "\n"), std::vector<std::string>{thirty_five});
  EXPECT_EQ(parts_of(thirty_five + "\r\n"), std::vector<std::string>{thirty_five});
}

TEST(ScriptLines, crlf_files_read_like_lf_files_even_across_the_read_limit) {
  const std::string thirty_eight(38, 'a');
  EXPECT_EQ(parts_of("tms 1\r\nti\r\n" + thirty_eight + "\r\n"),
            (std::vector<std::string>{"tms 1", "ti", thirty_eight}));
  // The carriage return is the 39th character: it still belongs to the line end.
  EXPECT_EQ(parts_of(thirty_eight + "\r\nti"), (std::vector<std::string>{thirty_eight, "ti"}));
  // A lone carriage return is an ordinary character.
  EXPECT_EQ(parts_of("ti\rx\n"), std::vector<std::string>{"ti\rx"});
}

TEST(ScriptLines, ctrl_z_ends_the_script_as_text_mode_did) {
  EXPECT_EQ(parts_of("ti\n\x1a"), std::vector<std::string>{"ti"});
  EXPECT_EQ(parts_of("ti\nse 3\x1ase 4\n"), (std::vector<std::string>{"ti", "se 3"}));
}

TEST(ScriptLines, a_read_error_mid_line_runs_nothing_of_that_line) {
  // A stream that gives "fwr abc ab" and then fails.
  struct Source {
    std::string bytes = "fwr abc ab";
    std::size_t at = 0;
  } source;
  cookie_io_functions_t io{};
  io.read = [](void* cookie, char* buf, std::size_t size) -> ssize_t {
    auto* s = static_cast<Source*>(cookie);
    if (s->at == s->bytes.size()) {
      errno = EIO;
      return -1;
    }
    const std::size_t n = std::min(size, s->bytes.size() - s->at);
    std::memcpy(buf, s->bytes.data() + s->at, n);
    s->at += n;
    return static_cast<ssize_t>(n);
  };
  std::FILE* f = fopencookie(&source, "r", io);
  ASSERT_NE(f, nullptr);
  EXPECT_FALSE(script::read_script_line(f));
  std::fclose(f);
}

TEST(ScriptLines, last_line_without_line_feed_and_nul_bytes) {
  EXPECT_EQ(parts_of("tms 1\nti"), (std::vector<std::string>{"tms 1", "ti"}));
  EXPECT_EQ(parts_of(std::string("ti\0junk\nse 3\n", 13)),
            (std::vector<std::string>{"ti", "se 3"}));
  EXPECT_TRUE(parts_of("").empty());
}

TEST(ScriptLines, words_split_at_white_space_and_missing_words_are_empty) {
  EXPECT_EQ(script::split_words("fwr \t a  b c d", 3), (std::vector<std::string>{"fwr", "a", "b"}));
  EXPECT_EQ(script::split_words("rm", 2), (std::vector<std::string>{"rm", ""}));
  EXPECT_EQ(script::split_words("", 2), (std::vector<std::string>{"", ""}));
  EXPECT_TRUE(script::split_words("tms 1", 0).empty());
}
