// Reads resource 100 back out of the executable, as windres compiled it, and holds it against the
// template description: an extended dialog template with the template's style, size, caption and
// font, and its controls in the template's order with their identifiers, classes, texts, styles
// and positions.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "dialog/dialog_template.h"
#include "programs/program_table.h"

namespace {

// A reader over the bytes of a dialog template (DLGTEMPLATEEX and DLGITEMTEMPLATEEX records).
class TemplateReader {
 public:
  TemplateReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::uint8_t byte() { return take(1)[0]; }
  std::uint16_t word() {
    const std::uint8_t* p = take(2);
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
  }
  std::uint32_t dword() {
    const std::uint32_t low = word();
    return low | std::uint32_t{word()} << 16;
  }
  std::int16_t coordinate() { return static_cast<std::int16_t>(word()); }

  // A NUL-terminated UTF-16 string; every text of the template is ASCII.
  std::string text() {
    std::string out;
    for (std::uint16_t c = word(); c != 0; c = word()) out += c < 0x80 ? static_cast<char>(c) : '?';
    return out;
  }
  // A field that holds nothing (0), an ordinal (0xFFFF, then the number, written as "#n") or a
  // string. The predefined window classes come back by name.
  std::string name_or_ordinal() {
    const std::uint16_t first = word();
    if (first == 0) return "";
    if (first == 0xFFFF) {
      const std::uint16_t ordinal = word();
      static const char* const classes[] = {"Button", "Edit", "Static", "ListBox", "ScrollBar", "ComboBox"};
      if (ordinal >= 0x80 && ordinal <= 0x85) return classes[ordinal - 0x80];
      std::string number = "#";
      number += std::to_string(ordinal);
      return number;
    }
    offset_ -= 2;
    return text();
  }
  void align_to_dword() { offset_ = (offset_ + 3) & ~std::size_t{3}; }
  std::size_t remaining() const { return size_ - offset_; }

 private:
  const std::uint8_t* take(std::size_t n) {
    if (n > size_ - offset_) {
      ADD_FAILURE() << "template ends early at byte " << offset_;
      static const std::uint8_t zeros[4] = {};
      offset_ = size_;
      return zeros;
    }
    const std::uint8_t* p = data_ + offset_;
    offset_ += n;
    return p;
  }

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t offset_ = 0;
};

struct Control {
  int id;
  std::string window_class;
  std::string text;
  std::uint32_t style;
  int x, y, width, height;
  bool operator==(const Control&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Control& c) {
  return out << c.id << " " << c.window_class << " \"" << c.text << "\" 0x" << std::hex << c.style << std::dec << " "
             << c.x << "," << c.y << " " << c.width << "x" << c.height;
}

bool same_class(const std::string& a, const std::string& b) {
  return a.size() == b.size() &&
         CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_EQUAL;
}

#define EXPECTED_CONTROL(id, window_class, text, style, x, y, width, height) \
  Control{id, window_class, text, static_cast<std::uint32_t>(style), x, y, width, height},
const std::vector<Control> expected_controls = {
    TOOL_DIALOG_CONTROLS(EXPECTED_CONTROL, TOOL_PROGRAM_ROW(TOOL_PROGRAM)(TOOL_ROW_LABEL))};
#undef EXPECTED_CONTROL

class ToolDialogResource : public ::testing::Test {
 protected:
  void SetUp() override {
    const HRSRC found = FindResourceA(nullptr, MAKEINTRESOURCEA(IDD_TOOL_DIALOG), MAKEINTRESOURCEA(5) /* RT_DIALOG */);
    ASSERT_NE(found, nullptr);
    const HGLOBAL loaded = LoadResource(nullptr, found);
    ASSERT_NE(loaded, nullptr);
    data_ = static_cast<const std::uint8_t*>(LockResource(loaded));
    size_ = SizeofResource(nullptr, found);
    ASSERT_NE(data_, nullptr);
  }
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

TEST_F(ToolDialogResource, IsAnExtendedTemplateWithTheTemplatesFrameCaptionAndFont) {
  TemplateReader in(data_, size_);
  EXPECT_EQ(in.word(), 1);       // dlgVer
  EXPECT_EQ(in.word(), 0xFFFF);  // signature of the extended form
  EXPECT_EQ(in.dword(), 0u);     // help identifier
  EXPECT_EQ(in.dword(), 0u);     // extended style
  const std::uint32_t style = in.dword();
  EXPECT_EQ(style, std::uint32_t{TOOL_DIALOG_STYLE});
  // Exactly a caption, a system menu and a minimise box: no maximise box, no sizing border.
  EXPECT_EQ(style & (WS_MAXIMIZEBOX | WS_THICKFRAME | WS_POPUP | WS_VISIBLE), 0u);
  EXPECT_EQ(in.word(), expected_controls.size());
  EXPECT_EQ(in.coordinate(), TOOL_DIALOG_X);
  EXPECT_EQ(in.coordinate(), TOOL_DIALOG_Y);
  EXPECT_EQ(in.coordinate(), TOOL_DIALOG_WIDTH);
  EXPECT_EQ(in.coordinate(), TOOL_DIALOG_HEIGHT);
  EXPECT_EQ(in.name_or_ordinal(), "");  // no menu
  EXPECT_EQ(in.name_or_ordinal(), "");  // no window class of its own
  EXPECT_EQ(in.text(), TOOL_PROGRAM_ROW(TOOL_PROGRAM)(TOOL_ROW_NAME));
  EXPECT_EQ(in.word(), TOOL_DIALOG_FONT_POINTS);
  EXPECT_EQ(in.word(), TOOL_DIALOG_FONT_WEIGHT);
  EXPECT_EQ(in.byte(), TOOL_DIALOG_FONT_ITALIC);
  EXPECT_EQ(in.byte(), TOOL_DIALOG_FONT_CHARSET);
  EXPECT_EQ(in.text(), TOOL_DIALOG_FONT_NAME);
}

TEST_F(ToolDialogResource, HoldsTheTemplatesControlsInOrderAndNothingElse) {
  TemplateReader in(data_, size_);
  for (int skip = 0; skip < 8; ++skip) in.word();
  const std::uint16_t count = in.word();
  for (int skip = 0; skip < 4; ++skip) in.coordinate();
  in.name_or_ordinal();
  in.name_or_ordinal();
  in.text();
  for (int skip = 0; skip < 3; ++skip) in.word();
  in.text();

  std::vector<Control> controls;
  for (std::uint16_t i = 0; i < count; ++i) {
    in.align_to_dword();
    EXPECT_EQ(in.dword(), 0u) << "help identifier of control " << i;
    EXPECT_EQ(in.dword(), 0u) << "extended style of control " << i;
    Control control{};
    control.style = in.dword();
    control.x = in.coordinate();
    control.y = in.coordinate();
    control.width = in.coordinate();
    control.height = in.coordinate();
    control.id = static_cast<int>(in.dword());
    control.window_class = in.name_or_ordinal();
    control.text = in.name_or_ordinal();
    EXPECT_EQ(in.word(), 0u) << "creation data of control " << i;
    controls.push_back(control);
  }
  EXPECT_EQ(in.remaining(), 0u);

  ASSERT_EQ(controls.size(), expected_controls.size());
  for (std::size_t i = 0; i < controls.size(); ++i) {
    // Class names are not case-sensitive: windres may store a predefined class by ordinal.
    if (same_class(controls[i].window_class, expected_controls[i].window_class))
      controls[i].window_class = expected_controls[i].window_class;
    EXPECT_EQ(controls[i], expected_controls[i]) << "control " << i;
  }
}

}  // namespace
