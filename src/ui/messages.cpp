#include "ui/messages.h"

namespace palor::msg {

std::string addressInvalid(int row) {
  return "Address [" + std::to_string(row) +
         "] is invalid. It should be within 8-2007663; 2007672-2045055; 2045064-2097143.";
}

std::string loadedDataFrom(std::string_view fileName) {
  return std::string(kLoadedDataFrom) + std::string(fileName);
}

std::string savedDataTo(std::string_view fileName) {
  return std::string(kSavedDataTo) + std::string(fileName);
}

}  // namespace palor::msg
