#pragma once
// The control totals as the operator reads them: the block "Контрольные суммы" after the
// check line of the command line and of the window's log, and the texts the report page and
// the JSON share.

#include <string>
#include <vector>

#include "app/verify/control_totals.h"

namespace ks {

// The heading, one line per stage (legacy figure, and the new one where it differs, then
// "сходится", "разница объяснена" or "не сходится"), and below a stage that differs one
// line per whole-stage figure that differs with its explanations and per group with an
// unexplained difference (UTF-8).
std::vector<std::string> ControlTotalsLines(const ControlTotals& totals);

// "Документы", "Строки товаров" (UTF-8).
std::string ControlStageName(int stage);
// "записей", "сумма", "НСП", "цена", "количество" (UTF-8).
std::string ControlFigureName(const std::string& figure);
// "вид 1, 2019 год", "2019 год", empty for a whole stage (UTF-8).
std::string ControlGroupName(const ControlTotal& item);
// An amount for people: counts as whole numbers, sums with two decimals (more only when
// the exact value has them), a space between the thousands.
std::string ControlAmount(const ControlTotal& item, const ExactDecimal& amount);
// An amount for scripts: the exact decimal text ("1234.50"; counts "12").
std::string ControlAmountText(const ControlTotal& item, const ExactDecimal& amount);

}  // namespace ks
