#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "fw/core/ex.h"
#include "fw/core/sys.h"
#include "fw/gui/graphics/draw.h"
#include "fw/gui/graphics/draw_internal.h"
#include "fw/gui/graphics/image.h"
#include "tests/fw/gui/raises.h"
#include "tests/support/recording_driver.h"

namespace {

using Log = std::vector<std::string>;


vcolor* rgb(unsigned r, unsigned g, unsigned b) {
  vcolorSpec desc;
  vcolorInitSpec(&desc);
  vcolorSetSpecRGB(&desc, r, g, b);
  return vcolorInternSpec(&desc);
}

int windowA = 0, windowB = 0;

class DrawState : public ::testing::Test {
 public:
  void SetUp() override {
    _vdrawShutdown();
    RecordingDriver& d = recordingDriver();
    d.take();
    d.opens = 0;
    d.record.flags = 0;
    d.transform = {0, vfixedONE, 0, 0, vfixedONE, 0, 0};
    d.bounds = {0, 0, 100, 100};
    d.name(&windowA, "A");
    d.name(&windowB, "B");
  }
  void TearDown() override { _vdrawShutdown(); }
  static void bind(void* window, int flags = vdrawBIND_WINDOW) {
    _vdrawBindDevice(flags, window, nullptr, &vdrawDefaultDeviceTable, &recordingDriver().record);
  }
  static Log take() { return recordingDriver().take(); }
  static vdrawState* state() { return vdrawGetState(); }
};

TEST_F(DrawState, StartsFromTheInitialState) {
  vdrawState* s = state();
  EXPECT_EQ(s->flags, 36707);
  EXPECT_EQ(s->dirty, vdrawDIRTY_ALL);
  EXPECT_EQ(s->lineWidth, 1.0f);
  EXPECT_EQ(s->miterLimit, 10.0f);
  EXPECT_EQ(s->flatness, vfixedONE);
  EXPECT_EQ(s->color, vcolorGetBlack());
  EXPECT_EQ(s->secondColor, vcolorGetWhite());
  EXPECT_FALSE(s->path->flags & vdrawPathCURRENT_POINT);
  EXPECT_EQ(s->clip->used, 1);
  EXPECT_EQ(s->binding->driver, &vdrawPathRecorder);
  EXPECT_EQ(vdrawGetSelectedPrimitives(), vdrawGetBuiltinPrimitives(0, 0));
  int n;
  const float* values;
  double offset;
  vdrawGetDash(&n, &values, &offset);
  EXPECT_EQ(n, 0);
  EXPECT_EQ(values, nullptr);
}

TEST_F(DrawState, SettersCheckTheirValuesAndMarkOnlyChanges) {
  struct Case {
    const char* what;
    std::function<void()> set;
    std::uint16_t dirty;        // expected new dirty bits; 0 for none
    const vexClass* raises;
  };
  vcolor* red = rgb(65535, 0, 0);
  const float zeros[] = {0, 0}, dashes[] = {0, 3}, negative[] = {2, -1};
  const Case cases[] = {
      {"same colour", [] { vdrawSetColor(vcolorGetBlack()); }, 0, nullptr},
      {"red", [&] { vdrawSetColor(red); }, vdrawDIRTY_COLOR, nullptr},
      {"second colour", [&] { vdrawSetSecondColor(red); }, vdrawDIRTY_SECOND_COLOR, nullptr},
      {"same draw mode", [] { vdrawSetDrawMode(3); }, 0, nullptr},
      {"xor", [] { vdrawSetDrawMode(6); }, vdrawDIRTY_DRAW_MODE, nullptr},
      {"mode 18", [] { vdrawSetDrawMode(18); }, 0, &vexArgClass},
      {"arc mode", [] { vdrawSetArcMode(192); }, vdrawDIRTY_ARC_MODE, nullptr},
      {"arc mode 32", [] { vdrawSetArcMode(32); }, 0, &vexArgClass},
      {"round cap", [] { vdrawSetLineCap(2048); }, vdrawDIRTY_CAP, nullptr},
      {"cap 0", [] { vdrawSetLineCap(0); }, 0, &vexArgClass},
      {"bevel", [] { vdrawSetLineJoin(256); }, vdrawDIRTY_JOIN, nullptr},
      {"join 1", [] { vdrawSetLineJoin(1); }, 0, &vexArgClass},
      {"no stroke adjust", [] { vdrawSetStrokeAdjust(0); }, vdrawDIRTY_STROKE_ADJUST, nullptr},
      {"stroke adjust 1", [] { vdrawSetStrokeAdjust(1); }, 0, &vexArgClass},
      {"same width", [] { vdrawSetLineWidth(1.0); }, 0, nullptr},
      {"width", [] { vdrawSetLineWidth(2.5); }, vdrawDIRTY_LINE_WIDTH, nullptr},
      {"negative width", [] { vdrawSetLineWidth(-0.5); }, 0, &vexArgRangeClass},
      {"miter", [] { vdrawSetMiterLimit(4); }, vdrawDIRTY_MITER, nullptr},
      {"miter below 1", [] { vdrawSetMiterLimit(0.5); }, 0, &vexArgRangeClass},
      {"dash 0, 0", [&] { vdrawSetDash(2, zeros, 0); }, 0, &vexArgClass},
      {"dash 0, 3", [&] { vdrawSetDash(2, dashes, 1.5); }, vdrawDIRTY_DASH, nullptr},
      {"dash no values", [] { vdrawSetDash(2, nullptr, 0); }, 0, &vexArgClass},
      {"dash negative", [&] { vdrawSetDash(2, negative, 0); }, 0, &vexArgClass},
      {"dash count -1", [&] { vdrawSetDash(-1, dashes, 0); }, 0, &vexArgClass},
      {"dash count 65536", [&] { vdrawSetDash(65536, dashes, 0); }, 0, &vexArgClass},
      {"solid again", [] { vdrawSetDash(0, nullptr, 0); }, vdrawDIRTY_DASH, nullptr},
      {"flatness", [] { vdrawSetFlatness(4); }, 0, nullptr},
      {"negative flatness", [] { vdrawSetFlatness(-1); }, 0, &vexArgRangeClass},
      {"pattern origin", [] { vdrawSetPatternOrigin(3, 4); }, vdrawDIRTY_PATTERN, nullptr},
      {"same pattern origin", [] { vdrawSetPatternOrigin(3, 4); }, 0, nullptr},
      {"scale", [] { vdrawScale(2, 2); }, vdrawDIRTY_MATRIX, nullptr},
  };
  for (const Case& c : cases) {
    state()->dirty = 0;
    vdrawState* before = state();
    vdrawGSave();  // a shared state: a change must copy it
    EXPECT_EQ(raised(c.set), c.raises) << c.what;
    EXPECT_EQ(state()->dirty, c.dirty) << c.what;
    EXPECT_EQ(state() == before, c.dirty == 0 && std::string(c.what) != "flatness") << c.what << ": copied";
    if (c.raises || (c.dirty == 0 && std::string(c.what) != "flatness")) {
      EXPECT_EQ(before->refs, 2) << c.what << ": not copied";
    }
    vdrawGRestore();
    EXPECT_EQ(state(), before) << c.what;
    vdrawGetDeviceTable()->gsave();  // and now change the state itself
    vdrawGRestore();
    vexTry(c.set);
  }
  vdrawSetFlatness(0.1);
  EXPECT_EQ(state()->flatness, 13107);
  vdrawSetFlatness(250);
  EXPECT_EQ(state()->flatness, 6553600);
  int n;
  const float* values;
  double offset;
  vdrawSetDash(2, dashes, 1.5);
  vdrawGetDash(&n, &values, &offset);
  EXPECT_EQ(n, 2);
  EXPECT_EQ(values[1], 3.0f);
  EXPECT_EQ(offset, 1.5);
  EXPECT_EQ(state()->roundedWidth, 3) << "floor(2.5 + 0.5)";
  vcolorRelease(red);
}

TEST_F(DrawState, TheStackSharesCopiesAndRestores) {
  vdrawState* bottom = state();
  vdrawGRestore();  // an empty stack: nothing
  EXPECT_EQ(state(), bottom);
  for (int i = 0; i < 70000; ++i) vdrawGSave();
  EXPECT_EQ(bottom->refs, 70001) << "counts do not wrap at 16 bits";
  for (int i = 0; i < 70000; ++i) vdrawGRestore();
  EXPECT_EQ(bottom->refs, 1);
  vdrawGSave();
  vdrawSetLineWidth(3);
  vdrawState* changed = state();
  EXPECT_NE(changed, bottom);
  vdrawGRestore();
  EXPECT_EQ(state(), bottom);
  EXPECT_EQ(state()->lineWidth, 1.0f);

  vcolor* red = rgb(65535, 0, 0);
  vdrawSetColor(red);
  vdrawSetDrawMode(6);
  vdrawSetLineWidth(5);
  vdrawGSave();
  vdrawGSave();
  vdrawGRestoreAll();
  EXPECT_EQ(vdrawGetStackDepth(), 0);
  EXPECT_EQ(state()->color, vcolorGetBlack());
  EXPECT_EQ(state()->lineWidth, 1.0f);
  EXPECT_EQ(state()->flags & vdrawMODE_MASK, 6) << "the draw mode is left";
  vdrawSetColor(red);
  vdrawGRestoreAll();  // an empty stack still resets
  EXPECT_EQ(state()->color, vcolorGetBlack());

  vdrawState* kept = vdrawCopyState();
  EXPECT_EQ(kept->refs, 1);
  vdrawSetLineWidth(7);
  vdrawSetState(kept);
  EXPECT_EQ(state(), kept);
  EXPECT_EQ(kept->refs, 2);
  EXPECT_EQ(state()->lineWidth, 1.0f);
  _vdrawReleaseState(kept);
  vcolorRelease(red);
}

TEST_F(DrawState, BindingOpensRefreshesAndSwitchesDrivers) {
  vdrawState* unbound = vdrawCopyState();
  bind(&windowA);
  EXPECT_EQ(take(), (Log{"open#1 target=A flags=8", "begin#1"}));
  bind(&windowA);
  EXPECT_EQ(take(), (Log{"refresh#1"})) << "the same window: no open";
  recordingDriver().transform.tx = 5 * vfixedONE;
  vdrawInitMatrix();
  EXPECT_EQ(state()->matrix->device.tx, 0) << "the matrix is still the device's";
  bind(&windowA);
  EXPECT_EQ(state()->matrix->device.tx, 5 * vfixedONE) << "the origin moved: the matrix follows";
  take();
  bind(&windowB);
  EXPECT_EQ(take(), (Log{"end#1", "close#1", "open#2 target=B flags=8", "begin#2"}))
      << "the only user: re-targeted in place";
  vdrawState* onB = vdrawCopyState();
  vdrawSetState(unbound);
  EXPECT_EQ(take(), (Log{"end#2"}));
  vdrawSetState(onB);
  EXPECT_EQ(take(), (Log{"begin#2"}));
  vdrawGSave();
  bind(&windowA);
  EXPECT_EQ(take(), (Log{"end#2", "open#3 target=A flags=8", "begin#3"})) << "B is still used: a new binding";
  vdrawGRestore();
  EXPECT_EQ(take(), (Log{"end#3", "close#3", "begin#2"}));
  _vdrawReleaseState(unbound);
  _vdrawReleaseState(onB);
  EXPECT_EQ(take(), (Log{})) << "the current state still uses B";
  vdrawBindPathDevice();
  EXPECT_EQ(take(), (Log{"end#2", "close#2"}));
}

TEST_F(DrawState, SyncSendsChangesOnceAndMarksTheOtherStates) {
  bind(&windowA);
  take();
  vdrawSyncState(vdrawSYNC_FILL);
  EXPECT_EQ(take(), (Log{"sync#1 0x9025", "setClipRects#1 (0,0,100,100)"}));
  vdrawSyncState(vdrawSYNC_FILL);
  EXPECT_EQ(take(), (Log{}));
  vdrawSyncState(vdrawSYNC_STROKE);
  EXPECT_EQ(take(), (Log{"sync#1 0xbc8"}));
  vcolor* red = rgb(65535, 0, 0);
  vdrawGSave();
  vdrawSetColor(red);
  vdrawSyncState(vdrawSYNC_TEXT);
  EXPECT_EQ(take(), (Log{"sync#1 0x11"}));
  vdrawGRestore();
  vdrawSyncState(vdrawSYNC_IMAGE);
  EXPECT_EQ(take(), (Log{"sync#1 0x1"})) << "the device holds red: black goes again";
  vdrawGetState()->dirty |= vdrawDIRTY_CLIP;
  vdrawSyncState(vdrawSYNC_IMAGE);
  EXPECT_EQ(take(), (Log{"setClipRects#1 (0,0,100,100)"})) << "the clip alone: no sync";
  vcolorRelease(red);
}

TEST_F(DrawState, TheClipMeetsTheDeviceClipRegion) {
  bind(&windowA, vdrawBIND_WINDOW | vdrawBIND_CLIP_TO_DEVICE);
  vdrawSyncState(vdrawSYNC_IMAGE);
  take();
  recordingDriver().bounds = {10, 20, 30, 40};
  vdrawInitDeviceClip();
  EXPECT_TRUE(state()->dirty & vdrawDIRTY_CLIP);
  vdrawSyncState(vdrawDIRTY_CLIP);
  EXPECT_EQ(take(), (Log{"setClipRects#1 (10,20,30,40)"}));
  vdrawInitClip();
  vdrawSyncState(vdrawDIRTY_CLIP);
  EXPECT_EQ(take(), (Log{"setClipRects#1 (10,20,30,40)"})) << "inside the region: sent alone";
  recordingDriver().bounds = {50, 70, 5, 5};
  vdrawInitClip();
  vdrawSyncState(vdrawDIRTY_CLIP);
  EXPECT_EQ(take(), (Log{"setClipRects#1 (0,0,0,0)"})) << "no overlap: one empty rectangle";
}

TEST_F(DrawState, AMaskClipMeetsTheDeviceClipThroughTheCachedImage) {
  vdrawRegisterImageDriver(&recordingDriver().record, 0);
  bind(&windowA, vdrawBIND_WINDOW | vdrawBIND_CLIP_TO_DEVICE);
  vdrawInitDeviceClip();
  vdrawSyncState(vdrawSYNC_IMAGE);
  take();
  vrect at = {90, 95, 20, 10};
  vdrawState* s = state();
  vdrawPathRelease(s->clip);
  s->clip = vdrawPathNewMask(vimageCreateSized(20, 10, 2), &at);
  s->dirty |= vdrawDIRTY_CLIP;
  vdrawSyncState(vdrawDIRTY_CLIP);
  EXPECT_EQ(take(), (Log{"end#1", "open#2 target=? flags=8192", "begin#2", "sync#2 0x9025",
                         "setClipRects#2 (0,0,100,100)", "fillRects#2 (0,0,10,5)", "sync#2 0x20",
                         "setClipRects#2 (-90,-95,100,100)", "drawMask#2 0,0", "end#2", "close#2", "begin#1",
                         "clipToMask#1 90,95"}));
  EXPECT_EQ(state(), s);
  EXPECT_EQ(s->dirty & vdrawDIRTY_CLIP, 0);
  EXPECT_EQ(vdrawGetStackDepth(), 0);
  vdrawNewPath();
  EXPECT_EQ(state(), s);
  vdrawPath* mask = s->clip;
  s->clip = vdrawPathGetEmptyClip();
  ++s->clip->refs;
  vdrawPathRelease(mask);
  EXPECT_EQ(take(), (Log{"setClipRects#1 (0,0,0,0)"})) << "a mask let go drops the device's clip";
  EXPECT_TRUE(s->dirty & vdrawDIRTY_CLIP);
}

// The cached mask image is an instance of the image class of the context it
// was made in: closing that context frees it, closing another does not.
TEST_F(DrawState, TheCachedMaskGoesWithTheContextThatMadeIt) {
  vdrawRegisterImageDriver(&recordingDriver().record, 0);
  bind(&windowA, vdrawBIND_WINDOW | vdrawBIND_CLIP_TO_DEVICE);
  vdrawInitDeviceClip();
  vdrawSyncState(vdrawSYNC_IMAGE);
  auto clipThroughMask = [] {
    vrect at = {90, 95, 20, 10};
    vdrawState* s = state();
    vdrawPathRelease(s->clip);
    s->clip = vdrawPathNewMask(vimageCreateSized(20, 10, 2), &at);
    s->dirty |= vdrawDIRTY_CLIP;
    vdrawSyncState(vdrawDIRTY_CLIP);
    vdrawInitClip();  // the mask path's own image goes now
    vdrawSyncState(vdrawDIRTY_CLIP);
  };
  vmoduleContext* home = vmoduleGetCurrentContext();
  vmoduleContext* other = vmoduleCreateContext();
  clipThroughMask();
  EXPECT_NE(vdrawint::m.maskImage, nullptr);
  vmoduleDestroyContext(other);
  EXPECT_EQ(vmoduleGetCurrentContext(), home);
  EXPECT_EQ(vdrawint::m.maskImage, nullptr) << "freed before the context's classes";
  clipThroughMask();
  vimage* kept = vdrawint::m.maskImage;
  ASSERT_NE(kept, nullptr);
  vmoduleDestroyContext(vmoduleCreateContext());
  EXPECT_EQ(vdrawint::m.maskImage, kept);
  take();
}

TEST_F(DrawState, ATableOfItsOwnRestoresUnderTheGuard) {
  static int restores = 0;
  static vdrawDeviceTable own = vdrawDefaultDeviceTable;
  own.grestore = [] {
    ++restores;
    vdrawDefaultDeviceTable.grestore();  // does nothing under the guard
  };
  restores = 0;
  vdrawGSave();
  _vdrawBindDevice(8, &windowA, nullptr, &own, &recordingDriver().record);
  vdrawGSave();
  vdrawBindPathDevice();
  take();
  vdrawGRestore();  // back to the window: its table's own restore runs once
  EXPECT_EQ(restores, 1);
  EXPECT_EQ(vdrawGetStackDepth(), 1) << "the guard kept the nested restore from popping";
  EXPECT_EQ(take(), (Log{"begin#1"}));
  vdrawGRestore();
  EXPECT_EQ(restores, 2) << "called through the window's table";
}

TEST_F(DrawState, MatrixKindsAndTheCurrentPointChooseThePrimitives) {
  auto selected = [] { return vdrawGetSelectedPrimitives(); };
  EXPECT_EQ(selected(), vdrawGetBuiltinPrimitives(0, 0));
  EXPECT_EQ(raised([] { vdrawLineTo(1, 1); }), &vdrawNoCurrentPointClass);
  vdrawPathMoveTo(10, 10);
  EXPECT_EQ(selected(), vdrawGetBuiltinPrimitives(0, 1));
  vdrawTranslate(5, 0);
  EXPECT_EQ(selected(), vdrawGetBuiltinPrimitives(1, 1));
  EXPECT_EQ(state()->flags & vdrawDEFAULT_MATRIX, 0);
  EXPECT_EQ(state()->dirty & vdrawDIRTY_MATRIX, vdrawDIRTY_MATRIX);
  vmatrix flip{1, 0, 0, -1, 0, 100};
  vdrawSetMatrix(&flip);
  EXPECT_EQ(selected(), vdrawGetBuiltinPrimitives(2, 1));
  vdrawScale(2, 2);
  EXPECT_EQ(selected(), vdrawGetBuiltinPrimitives(3, 1));
  vdrawRotate(30);
  EXPECT_EQ(selected(), vdrawGetBuiltinPrimitives(4, 1));
  vdrawNewPath();
  EXPECT_EQ(selected(), vdrawGetBuiltinPrimitives(4, 0));
  // A window class's override equal to what the state chooses is not kept.
  _vdrawBindDevice(8, &windowA, vdrawGetBuiltinPrimitives(4, 0), &vdrawDefaultDeviceTable, &recordingDriver().record);
  EXPECT_EQ(state()->binding->primitives, nullptr);
  EXPECT_EQ(selected(), vdrawGetBuiltinPrimitives(0, 0)) << "binding sets the device's matrix";
  const vdrawPrimitiveTable* other = vdrawGetBuiltinPrimitives(3, 1);
  _vdrawBindDevice(8, &windowA, other, &vdrawDefaultDeviceTable, &recordingDriver().record);
  EXPECT_EQ(vdrawGetPrimitives(), other);
}

TEST_F(DrawState, PathsConvertByKindAndKeepTheirFlags) {
  struct Case {
    const char* what;
    vmatrix m;
    vfixed x, y;  // where moveto (10, 10) then rlineto (1, 2) end
  };
  const Case cases[] = {
      {"identity", {1, 0, 0, 1, 0, 0}, 11 << 16, 12 << 16},
      {"translation", {1, 0, 0, 1, 5, 6}, 16 << 16, 18 << 16},
      {"flip", {1, 0, 0, -1, 0, 100}, 11 << 16, 88 << 16},
      {"scale", {2, 0, 0, 3, 0, 0}, 22 << 16, 36 << 16},
      {"rotation", {0, 1, -1, 0, 0, 0}, -12 << 16, 11 << 16},
  };
  for (const Case& c : cases) {
    vdrawSetMatrix(&c.m);
    vdrawNewPath();
    vdrawPathMoveToF(10, 10);
    vdrawRLineTo(1, 2);
    const vdrawPath* p = state()->path;
    EXPECT_EQ(p->x, c.x) << c.what;
    EXPECT_EQ(p->y, c.y) << c.what;
    double ux, uy;
    vdrawGetCurrentPoint(&ux, &uy);
    EXPECT_NEAR(ux, 11, 1e-4) << c.what;
    EXPECT_NEAR(uy, 12, 1e-4) << c.what;
  }
  vmatrix identity = vmatrixIdentity;
  vdrawSetMatrix(&identity);
  vdrawNewPath();
  vdrawPathMoveTo(1, 1);
  vdrawPathMoveTo(2, 3);
  vdrawPath* p = state()->path;
  ASSERT_EQ(p->used, 1) << "two movetos leave one";
  EXPECT_EQ(vdrawPathElements(p)[0].x, 2 << 16);
  EXPECT_EQ(p->flags, vdrawPathELEMENTS | vdrawPathCURRENT_POINT);
  vdrawLineTo(5, 3);
  vdrawClosePath();
  EXPECT_EQ(p->flags & (vdrawPathCLOSED | vdrawPathSUBPATHS), vdrawPathCLOSED);
  EXPECT_EQ(vdrawPathElements(p)[2].x, -3 << 16) << "back to the start";
  vdrawClosePath();
  EXPECT_TRUE(p->flags & vdrawPathSUBPATHS) << "closed twice";
  vdrawRMoveTo(4, 4);
  int rx, ry;
  vdrawGetCurrentPointRounded(&rx, &ry);
  EXPECT_EQ(rx, 6);
  EXPECT_EQ(ry, 7);
  vdrawGSave();
  vdrawLineTo(9, 9);
  EXPECT_NE(state()->path, p) << "a shared path is copied";
  vdrawGRestore();
  EXPECT_EQ(p->used, 5) << "moveto, lineto, two closes, moveto";
  vdrawNewPath();
  EXPECT_EQ(state()->path, p) << "a private path is emptied in place";
  EXPECT_EQ(p->used, 0);
  EXPECT_EQ(raised([] { vdrawRLineTo(1, 1); }), &vdrawNoCurrentPointClass);
  EXPECT_EQ(raised([] {
              double x, y;
              vdrawGetCurrentPoint(&x, &y);
            }),
            &vdrawNoCurrentPointClass);
  vdrawPathMoveTo(0, 0);
  for (int i = 0; i < 20; ++i) vdrawLineTo(i, i);
  EXPECT_EQ(state()->path->used, 21) << "grown past the pooled size";
  state()->dirty = 0;
  vdrawNewPath();
  vdrawClip(0);
  EXPECT_EQ(state()->clip, vdrawPathGetEmptyClip()) << "the clip of an empty path is empty";
  EXPECT_EQ(state()->dirty, vdrawDIRTY_CLIP);
  vrect two[] = {{0, 0, 4, 4}, {10, 10, 2, 3}};
  vdrawPath* list = vdrawPathNewRects(two, 2);
  EXPECT_EQ(list->bounds.width, 12);
  EXPECT_EQ(list->y, 0);
  vdrawPathRelease(list);
}

TEST_F(DrawState, ImagesBindThroughTheRegisteredDriver) {
  vimage* image = vimageCreateSized(4, 4, 2);
  std::string message;
  EXPECT_EQ(raised([&] { vdrawBindImage(image, 0); }, &message), &vexModuleStartupClass);
  EXPECT_EQ(message, "the image driver has not been registered");
  vdrawRegisterImageDriver(&recordingDriver().record, 0x4000);
  recordingDriver().name(image, "image");
  recordingDriver().record.flags = 0x21;
  recordingDriver().transform = {3, 2 * vfixedONE, 0, 0, vfixedONE, 7 * vfixedONE, 9 * vfixedONE};
  vdrawSetStrokeAdjust(0);
  vdrawSetPatternOrigin(2, 2);
  vdrawBindImage(image, vdrawBIND_MASK_IMAGE);
  EXPECT_EQ(take(), (Log{"open#1 target=image flags=24576", "begin#1"}));
  EXPECT_EQ(state()->flags & vdrawSTROKE_ADJUST, 32) << "the driver asks for it";
  int x, y;
  vdrawGetPatternOrigin(&x, &y);
  EXPECT_EQ(x, 0);
  EXPECT_EQ(state()->matrix->matrix.a, 2.0f) << "the binding's transform is the device's";
  EXPECT_EQ(state()->matrix->matrix.ty, 9.0f);
  vdrawScaleToDevice();
  EXPECT_EQ(state()->matrix->matrix.a, 4.0f);
  vdrawBindPathDevice();
  take();
  vimageDestroy(image);
}

}  // namespace
