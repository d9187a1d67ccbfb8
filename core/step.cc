#include "core/step.h"

#include "core/text/rewriter.h"

namespace zenkor {

void drop_char(text::Rewriter<NoLog>& w, char32_t /*c*/) { w.drop(); }

}  // namespace zenkor
