#pragma once

#include "engine/UpdatePlan.h"

#include <optional>
#include <string>

namespace quorvane {

class Localizer;

// Words the plan of an update before it is carried out, in the terms its report will use: the counts,
// a line for each file to be replaced or not installed, and why an update that does not fit is refused.
namespace PlanReport {

std::string summary(const UpdatePlan& plan, const Localizer& localizer);
// One line per file to be replaced (with the earlier update that put it there, when one did) or not
// installed (with the reason), names quoted for one line.
std::string changes(const UpdatePlan& plan, const Localizer& localizer);
// Why the update must not begin on the installation's disk: it needs more than is free. None: it fits,
// or the free space cannot be told.
std::optional<std::string> spaceRefusal(const UpdatePlan& plan, const std::string& installation,
                                        const Localizer& localizer);

} // namespace PlanReport

} // namespace quorvane
