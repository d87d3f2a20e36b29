// Device contexts that record their drawing calls instead of drawing.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/fake_ui.h"

namespace testing {

struct DcLog {
  struct Dc {
    uint8_t* pixels;
    int width;
    int height;
    int pitch;
    std::vector<std::string> calls;
    bool released = false;
  };
  struct Stretch {
    ui::Rect dest;
    ui::Rect src;
    const void* bits;
    const void* info;
  };
  std::vector<Dc> dcs;
  std::vector<Stretch> stretches;
};

class RecordingDc : public ui::DeviceContext {
 public:
  RecordingDc(DcLog* log, size_t index) : log_(log), index_(index) {}
  ~RecordingDc() override { log_->dcs[index_].released = true; }
  uint32_t SetTextColor(uint32_t colour) override {
    Call("SetTextColor " + std::to_string(colour));
    return 0;
  }
  uint32_t SetBkColor(uint32_t colour) override {
    Call("SetBkColor " + std::to_string(colour));
    return 0;
  }
  int SetBkMode(int mode) override {
    Call("SetBkMode " + std::to_string(mode));
    return ui::kBkOpaque;
  }
  void SelectFont(const ui::FontSpec* font) override {
    Call(font ? "SelectFont " + std::to_string(font->height) + " " + std::to_string(font->weight) +
                    " " + font->face
              : std::string("SelectFont default"));
  }
  int DrawText(const std::string& text, const ui::Rect& r, unsigned format) override {
    Call("DrawText " + text + " " + std::to_string(r.left) + "," + std::to_string(r.top) + "," +
         std::to_string(r.right) + "," + std::to_string(r.bottom) + " " + std::to_string(format));
    return 90;
  }
  int StretchDIBits(const ui::Rect& dest, const ui::Rect& src, const void* bits,
                    const void* info) override {
    Call("StretchDIBits");
    log_->stretches.push_back({dest, src, bits, info});
    return src.Height();
  }

 private:
  void Call(const std::string& what) { log_->dcs[index_].calls.push_back(what); }
  DcLog* log_;
  size_t index_;
};

/// FakeUi whose device contexts record into `dcLog` (or fail when giveDc is false).
class RecordingUi : public FakeUi {
 public:
  std::unique_ptr<ui::DeviceContext> CreateSurfaceDC(uint8_t* pixels, int width, int height,
                                                     int pitch) override {
    if (!giveDc) return nullptr;
    dcLog.dcs.push_back({pixels, width, height, pitch, {}, false});
    return std::make_unique<RecordingDc>(&dcLog, dcLog.dcs.size() - 1);
  }
  DcLog dcLog;
  bool giveDc = true;
};

}  // namespace testing
