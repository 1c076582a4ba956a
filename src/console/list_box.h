#pragma once
#include <cstdint>
#include <string>

namespace kv7 {

// The lines of a list box as the console draws them; the window's list and test fakes implement
// it. Lines are counted from 0.
class ListBox {
  public:
    virtual ~ListBox() = default;
    // Removes every line.
    virtual void Clear() = 0;
    virtual int16_t ListCount() const = 0;
    // Appends one line at the end.
    virtual void AddItem(const std::string& text) = 0;
    // Replaces the text of an existing line.
    virtual void setList(int16_t index, const std::string& text) = 0;
    virtual std::string List(int16_t index) const = 0;
};

}  // namespace kv7
