// The payment-order archive: new identifiers above every document, the document kind 10 and
// the payment details as a property list. Afterwards the document counter is written.

#include <algorithm>
#include <limits>

#include "app/run/conversion_run.h"
#include "app/converter.h"
#include "app/run/doc_columns.h"
#include "app/run/property_list.h"
#include "app/run/stage_frame.h"
#include "app/run/stage_target.h"
#include "common/codepage.h"
#include "common/exception.h"

namespace ks {
namespace {

// The legacy mark for a payment order without a number.
constexpr int32_t kNoPayOrder = std::numeric_limits<int32_t>::max();

// The delivery names by the legacy code SendByPost; another code gives the empty text.
std::string PayTypeName(int32_t code) {
  static const char* const kPayTypeNames[] = {"", "Почтой", "Телеграфом", "Электронно", "По договору", "Срочный"};
  if (code < 0 || code > 5) return std::string();
  return W(kPayTypeNames[code]);
}

}  // namespace

int32_t ConversionRun::PaymentBase() {
  int32_t base = std::max(document_maximum_, legacy_document_maximum_);
  TLegacyTable& lines = main_.legacy.tblFullstorage;
  lines.Open();
  const TLegacyField& doc_id = lines.FieldByName("DocID");
  for (lines.First(); !lines.Eof(); lines.Next()) base = std::max(base, doc_id.AsInteger());
  return base;
}

void ConversionRun::CopyPayments() {
  StageFrame frame(context_, "Начало копирования архива платежных поручений",
                   "Копирование архива платежных поручений успешно завершено");
  const int32_t base = PaymentBase();
  TLegacyTable& source = main_.legacy.tblMain;
  frame.Begin(source);
  // The payment orders and the counter after them must stay within 32-bit identifiers;
  // past the largest one they would wrap to negative numbers.
  const int64_t count = source.RecordCount();
  if (count > 0 && base + count >= std::numeric_limits<int32_t>::max()) {
    throw Exception(W("Не хватает идентификаторов для платежных поручений после документа ") +
                    std::to_string(base));
  }
  StageTarget docs(frame, main_.cbtDocCommon);
  frame.SetRunningMaximum(base);

  const TLegacyField& no = source.FieldByName("No");
  const TLegacyField& doc_date = source.FieldByName("DocDate");
  const TLegacyField& sender = source.FieldByName("Sender");
  const TLegacyField& receiver = source.FieldByName("Receiver");
  const TLegacyField& send_by_post = source.FieldByName("SendByPost");
  const TLegacyField& sum = source.FieldByName("Sum");
  const TLegacyField& nds = source.FieldByName("NDS");
  const TLegacyField& pay_date = source.FieldByName("PayDate");
  const TLegacyField& pay_order = source.FieldByName("PayOrder");
  const TLegacyField& vid_oper = source.FieldByName("VidOper");
  const TLegacyField& cod = source.FieldByName("Cod");
  const TLegacyField& comment = source.FieldByName("Comment");
  const TLegacyField& nds_string = source.FieldByName("NDSString");

  DocColumns doc(docs);

  frame.Walk(source, [&](int row) {
    const int32_t id = base + row + 1;
    const int32_t order = pay_order.AsInteger();
    docs.Append();
    doc.SetHeader({.uid = id,
                   .date = doc_date.AsDateTime(),
                   .number = std::to_string(no.AsInteger()),
                   .firm = sender.AsInteger(),
                   .partner = receiver.AsInteger(),
                   .sum = sum.AsFloat()});
    doc.SetHomeCurrency();
    doc.ftype.SetAsInteger(kPaymentOrderKind);
    PropertyList properties;
    properties.Add("PRICE=", EncodeFloat(sum.AsFloat()))
        .Add("NDS=", EncodeFloat(nds.AsFloat()))
        .Add("PURPOSE=", EncodeString(comment.AsString()))
        .Add("PAYTYPE=", EncodeString(PayTypeName(send_by_post.AsInteger())))
        .Add("PAYDATE=", EncodeDateTime(pay_date.AsDateTime()))
        .Add("NDSSTR=", EncodeString(nds_string.AsString()))
        .Add("PAYKIND=", EncodeString(vid_oper.AsString()))
        .Add("PAYORD=", EncodeString(order == kNoPayOrder ? std::string() : std::to_string(order)))
        .Add("PAYCODE=", EncodeString(cod.AsString()));
    doc.fcomplex.SetAsString(properties.Text());
    docs.Post();
    frame.Raise(id);
  });
  SetNextUID(main_.cbtDocCommon, frame.RunningMaximum());
  frame.Finish();
}

}  // namespace ks
