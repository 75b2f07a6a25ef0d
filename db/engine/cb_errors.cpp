#include "db/engine/cb_errors.h"

#include "db/engine/xbase/xbase.h"

namespace ks {

std::string EngineCodeMeaning(int code) {
  switch (code) {
    case e4create: return W("файл не создаётся");
    case e4open: return W("файл не открывается");
    case e4fileFind: return W("файл не найден");
    case e4instance: return W("файл открыт другой программой");
    case e4read: return W("файл не читается");
    case e4write: return W("файл не записывается");
    case e4data: return W("файл повреждён");
    default: return std::string();
  }
}

}  // namespace ks
