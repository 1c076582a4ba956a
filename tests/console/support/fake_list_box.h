#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "console/list_box.h"

namespace kv7::test {

// A list box that keeps its lines and counts how often each line was replaced.
class FakeListBox : public ListBox {
  public:
    void Clear() override;
    int16_t ListCount() const override { return static_cast<int16_t>(lines.size()); }
    void AddItem(const std::string& text) override;
    void setList(int16_t index, const std::string& text) override;
    std::string List(int16_t index) const override;

    int redraws(int16_t index) const;
    void resetRedraws();

    std::vector<std::string> lines;
    std::vector<int> redrawCount;
};

}  // namespace kv7::test
