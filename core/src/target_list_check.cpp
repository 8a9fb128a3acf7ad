#include "target_list_check.h"

#include "failure_texts.h"
#include "target_list.h"

namespace quorrel {

std::optional<TargetListRefusal> CheckTargetList(std::string_view list) {
    const varl::TargetList targets = varl::ParseTargetList(list);
    if (targets.ok()) return std::nullopt;
    const char* text = targets.error == varl::TargetList::Error::kTooWide ? varl::text::kTargetRangeTooWide
                                                                          : varl::text::kMalformedTargets;
    return TargetListRefusal{text, std::string(targets.badEntry)};
}

}  // namespace quorrel
