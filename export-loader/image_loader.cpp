#include "export-loader/image_loader.h"

std::optional<LoadFault> fault_of(BmpVerdict verdict) {
  switch (verdict) {
    case BmpVerdict::not_a_picture:
      return LoadFault::cannot_open;
    case BmpVerdict::unsupported:
      return LoadFault::unsupported;
    case BmpVerdict::picture:
      break;
  }
  return std::nullopt;
}
