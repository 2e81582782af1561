#include "stack/endpoint/H323Capabilities.h"

#include <algorithm>

namespace vantro::endpoint {

int H323Capabilities::SetCapability(int descriptorNum, int simultaneousNum, std::unique_ptr<H323Capability> capability) {
  int descriptors = 0;
  for (const Entry& e : entries_) descriptors = std::max(descriptors, e.descriptor + 1);
  if (descriptorNum < 0 || descriptorNum >= descriptors) descriptorNum = descriptors;
  int sets = 0;
  for (const Entry& e : entries_)
    if (e.descriptor == descriptorNum) sets = std::max(sets, e.simultaneous + 1);
  if (simultaneousNum < 0 || simultaneousNum >= sets) simultaneousNum = sets;
  entries_.push_back(Entry{std::shared_ptr<const H323Capability>(std::move(capability)), descriptorNum, simultaneousNum});
  return simultaneousNum;
}

std::vector<std::vector<std::vector<std::string>>> H323Capabilities::Descriptors() const {
  std::vector<std::vector<std::vector<std::string>>> out;
  for (const Entry& e : entries_) {
    if (out.size() <= static_cast<std::size_t>(e.descriptor)) out.resize(e.descriptor + 1);
    auto& sets = out[e.descriptor];
    if (sets.size() <= static_cast<std::size_t>(e.simultaneous)) sets.resize(e.simultaneous + 1);
    sets[e.simultaneous].push_back(e.capability->GetFormatName());
  }
  return out;
}

}  // namespace vantro::endpoint
