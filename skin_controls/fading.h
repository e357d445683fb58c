// How a window fades in as it opens: whether it does, the opacity it ends at
// (0..255) and whether it gets there step by step. The skinned dialogs keep it
// for their frame, the combo box for its list; each publishes it.
#pragma once

#include <algorithm>

class TbsFading {
public:
  explicit TbsFading(int alphaBlendValue) : alphaBlendValue_(alphaBlendValue) {}

  bool AlphaBlend() const { return alphaBlend_; }
  void SetAlphaBlend(bool v) { alphaBlend_ = v; }
  int AlphaBlendValue() const { return alphaBlendValue_; }
  void SetAlphaBlendValue(int v) { alphaBlendValue_ = std::clamp(v, 0, 255); }
  bool AlphaBlendAnimation() const { return alphaBlendAnimation_; }
  void SetAlphaBlendAnimation(bool v) { alphaBlendAnimation_ = v; }

private:
  bool alphaBlend_ = false;
  int alphaBlendValue_;
  bool alphaBlendAnimation_ = false;
};
