// The installation's two halves, named where only references pass through.
#pragma once

namespace install {
struct Installation;
class Frontend;
}  // namespace install
