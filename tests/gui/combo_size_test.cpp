// The front-end's natural size of the framework's combo boxes: a short
// list gives the text part with its 40-pixel margin, a wide list gives the
// list within the borders; Motif makes the box half again as tall.
#include <gtest/gtest.h>

#include "fw/widgets/controls/combobox.h"
#include "fw/widgets/look/laf.h"
#include "frontends/gui/fw_dialogs.h"
#include "tests/gui/gui_window_support.h"

namespace {

struct ComboSize : GuiWindowFixture {
  static vcomboboxValue* value(const char* text) {
    vcomboboxValue* v = vcomboboxValueCreate();
    vcomboboxValueSetText(v, vscribeCString(text));
    return v;
  }
  static void natural(vcomboboxStandard* box, int* width, int* height) {
    *width = *height = 0;
    vdialogGetItemNaturalSize(box, width, height);
  }
  static int natural_width(vdialogItem* item) {
    int w = 0, h = 0;
    vdialogGetItemNaturalSize(item, &w, &h);
    return w;
  }
};

TEST_F(ComboSize, TheWiderOfTextWithMarginAndListWithinBordersAndMotifTaller) {
  vcomboboxStandard* box = vcomboboxCreate();
  vcomboboxAppendValue(box, value("ab"));
  auto* look = const_cast<vlaf*>(vlafGetCurrent());
  const std::int16_t id = look->id;
  int width = 0, height = 0, motif_height = 0;
  look->id = vlafMOTIF;
  natural(box, &width, &motif_height);
  look->id = id;
  natural(box, &width, &height);
  const int class_height = height;
  gui::install_combo_size_hook();
  gui::install_combo_size_hook();  // again: must not call itself as the class's own size
  natural(box, &width, &height);
  EXPECT_EQ(height, class_height) << "only Motif changes the height";
  const int text_part = natural_width(box->entry) + 40;
  ASSERT_GT(text_part, natural_width(box->choice)) << "a short list: the text part wins";
  EXPECT_EQ(width, text_part);

  vcomboboxAppendValue(box, value("a value far wider than any text part of a combo box ever is"));
  const int border = (box->flags & vdialogItemBORDER) != 0 ? int(vdialogGetItemLineWidth(box)) : 0;
  const int list_part = natural_width(box->choice) + 2 * border;
  ASSERT_GT(list_part, text_part) << "a wide value: the list wins";
  natural(box, &width, &height);
  EXPECT_EQ(width, list_part);

  look->id = vlafMOTIF;
  natural(box, &width, &height);
  look->id = id;
  EXPECT_EQ(height, motif_height * 3 / 2);
  vinstanceDestroy(box);
}

}  // namespace
