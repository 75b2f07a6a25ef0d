#include "app/run/doc_columns.h"

#include "app/run/property_list.h"

namespace ks {

DocColumns::DocColumns(StageTarget& docs)
    : uid(docs.FieldByName("UID")),
      ftype(docs.FieldByName("FTYPE")),
      fdate(docs.FieldByName("FDATE")),
      strnum(docs.FieldByName("STRNUM")),
      intnum(docs.FieldByName("INTNUM")),
      firm(docs.FieldByName("FIRM")),
      partner(docs.FieldByName("PARTNER")),
      fsum(docs.FieldByName("FSUM")),
      usensp(docs.FieldByName("USENSP")),
      currid(docs.FieldByName("CURRID")),
      rate(docs.FieldByName("RATE")),
      bycurr(docs.FieldByName("BYCURR")),
      fcomplex(docs.FieldByName("FCOMPLEX")) {}

void DocColumns::SetHeader(const DocHeader& header) {
  uid.SetAsInteger(header.uid);
  fdate.SetAsDateTime(header.date);
  SetNumber(header.number);
  firm.SetAsInteger(header.firm);
  partner.SetAsInteger(header.partner);
  fsum.SetAsFloat(header.sum);
  usensp.SetAsBoolean(header.uses_sales_tax);
}

void DocColumns::SetNumber(const std::string& text) {
  strnum.SetAsString(text);
  bool overflow = false;
  const int32_t number = ExtractNumber(text, &overflow);
  intnum.SetAsInteger(number, overflow, text);
}

void DocColumns::SetHomeCurrency() {
  currid.SetAsInteger(0);
  rate.SetAsFloat(1.0);
  bycurr.SetAsBoolean(false);
}

}  // namespace ks
