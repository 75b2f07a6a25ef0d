#include "app/report/control_totals_text.h"

namespace ks {
namespace {

bool IsCount(const ControlTotal& item) { return item.figure == "COUNT"; }

std::string Explanations(const ControlTotal& item) {
  std::string text;
  for (const ControlExplanation& e : item.explanations) {
    text += (text.empty() ? "" : "; ") + e.reason +
            (IsCount(item) ? ": " + ControlAmount(item, e.amount)
                           : " (" + ExactDecimal::FromInteger(e.count).Grouped(0) + "): " + ControlAmount(item, e.amount));
  }
  return text;
}

}  // namespace

std::string ControlStageName(int stage) {
  static const char* const kNames[] = {"",         "Должности",         "Группы",        "Страны",
                                       "Фирмы",    "Товары",            "Единицы измерения", "Представители",
                                       "Шаблоны",  "Документы",         "Платежные поручения", "Строки товаров"};
  return stage >= 1 && stage <= 11 ? kNames[stage] : "Этап " + std::to_string(stage);
}

std::string ControlFigureName(const std::string& figure) {
  if (figure == "COUNT") return "записей";
  if (figure == "DOC.FSUM") return "сумма";
  if (figure == "DOC.NSP") return "НСП";
  if (figure == "GOODS.PRICE") return "цена";
  if (figure == "GOODS.FCOUNT") return "количество";
  return figure;
}

std::string ControlGroupName(const ControlTotal& item) {
  std::string text;
  if (item.kind) text = "вид " + std::to_string(*item.kind);
  if (item.year) text += (text.empty() ? "" : ", ") + std::to_string(*item.year) + " год";
  return text;
}

std::string ControlAmount(const ControlTotal& item, const ExactDecimal& amount) {
  return amount.Grouped(IsCount(item) ? 0 : 2);
}

std::string ControlAmountText(const ControlTotal& item, const ExactDecimal& amount) {
  return amount.Text(IsCount(item) ? 0 : 2);
}

std::vector<std::string> ControlTotalsLines(const ControlTotals& totals) {
  std::vector<std::string> lines{"Контрольные суммы (прежний архив / новая база):"};
  const std::vector<ControlTotal>& items = totals.items;
  for (size_t first = 0; first < items.size();) {
    size_t end = first;
    while (end < items.size() && items[end].stage == items[first].stage) ++end;
    std::string figures;
    std::vector<std::string> details;
    bool differs = false, unexplained = false;
    for (size_t i = first; i < end; ++i) {
      const ControlTotal& item = items[i];
      const bool same = item.legacy == item.target;
      const bool found = !item.Unexplained().IsZero();
      if (item.WholeStage()) {
        figures += (figures.empty() ? "" : ", ") + ControlFigureName(item.figure) + " " +
                   ControlAmount(item, item.legacy) + (same ? "" : " / " + ControlAmount(item, item.target));
        differs = differs || !same;
      }
      unexplained = unexplained || found;
      if (same || (!item.WholeStage() && !found)) continue;
      std::string line = "    " + ControlFigureName(item.figure);
      if (!item.WholeStage()) line += ", " + ControlGroupName(item);
      line += ": разница " + ControlAmount(item, item.legacy - item.target);
      if (!item.explanations.empty() && item.WholeStage()) line += ", объяснено: " + Explanations(item);
      if (found) line += "; не объяснено " + ControlAmount(item, item.Unexplained());
      details.push_back(line);
    }
    const char* verdict = unexplained ? "не сходится" : differs ? "разница объяснена" : "сходится";
    lines.push_back("  " + ControlStageName(items[first].stage) + ": " + figures + " — " + verdict);
    lines.insert(lines.end(), details.begin(), details.end());
    first = end;
  }
  return lines;
}

}  // namespace ks
