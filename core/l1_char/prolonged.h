// Runs of prolonged sound marks ー, or of wave dashes 〜, shortened to one.
//
// Only runs of one and the same mark shrink: ーー〜〜ー becomes ー〜ー.
#pragma once

#include <string>
#include <string_view>

namespace zenkor::l1_char::prolonged {

void collapse(std::string_view in, std::string& out);

}  // namespace zenkor::l1_char::prolonged
