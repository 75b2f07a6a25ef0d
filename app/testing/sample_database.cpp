#include "app/testing/sample_database.h"

#include <utility>

#include "common/codepage.h"

namespace ks::testing {
namespace {

using W_ = ParadoxTableWriter;

// A text of the legacy tables: UTF-8 in the source, Windows-1251 in the files.
std::string T(const char* utf8) { return W(utf8); }

}  // namespace

LegacyFixture SampleDatabase() {
  LegacyFixture f;
  f.group = [](W_& w) {
    for (auto [id, name] : {std::pair{0, "Без группы"}, {3, "Канцтовары"}, {7, "Бумага"}}) {
      w.SetLong("GroupID", id);
      w.SetText("GroupName", T(name));
      w.Append();
    }
  };
  f.country = [](W_& w) {
    for (auto [id, name] : {std::pair{-10, "Не указана"}, {643, "Россия"}, {5000, "Германия"}}) {
      w.SetLong("CountryID", id);
      w.SetText("CountryName", T(name));
      w.Append();
    }
  };
  f.firm_ref = [](W_& w) {
    w.SetLong("RefID", 1);
    w.SetLogical("Veltro", true);
    w.SetText("ShortName", T("ООО Ромашка"));
    w.SetText("FullName", T("Общество с ограниченной ответственностью «Ромашка»"));
    w.SetText("Addres", T("г. Москва, ул. Ленина, 1"));
    w.SetText("RDep", "40702810900000000001");
    w.SetText("CDep", "30101810400000000225");
    w.SetText("Bank", T("АКБ «Промышленный»"));
    w.SetText("INN", "7701234567");
    w.SetText("KPP", "770101001");
    w.SetText("OKONH_Code", "71100");
    w.SetText("OKPO_Code", "12345678");
    w.SetText("Bik", "044525225");
    w.SetText("Cargo", T("склад №2"));
    w.SetLogical("SecPodp", false);
    w.SetLogical("seal", true);
    w.SetLong("ChiefID", 11);
    w.SetLong("AccountantID", 12);
    w.SetLong("CashierID", 13);
    w.Append();
    w.SetLong("RefID", 2);
    w.SetText("ShortName", T("ЗАО Лютик"));
    w.Append();
  };
  f.model = [](W_& w) {
    w.SetLong("ModelID", 10);
    w.SetText("ModelName", T("Ручка шариковая"));
    w.SetNumber("Price", 12.5);
    w.SetNumber("NDS", 20);
    w.SetLogical("NDSAlloc", true);
    w.SetLong("countryid", 643);
    w.SetText("numdeclar", "10130010/010203/0001234");
    w.SetLong("GroupID", 3);
    w.SetLong("VolID", 1);
    w.SetText("GroupName", T("не используется"));
    w.Append();
    w.SetLong("ModelID", 11);
    w.SetText("ModelName", T("Бумага А4"));
    w.SetNumber("NDS", 20);
    w.SetLong("countryid", -10);
    w.SetLong("GroupID", 0);
    w.SetLong("VolID", 2);
    w.Append();
    w.SetLong("ModelID", 12);
    w.SetText("ModelName", T("Скрепки"));
    w.SetNumber("NDS", 10);
    w.SetLogical("NDSAlloc", false);
    w.SetLong("countryid", 0);
    w.SetLong("GroupID", 9);
    w.Append();
  };
  f.vol = [](W_& w) {
    for (auto [id, name] : {std::pair{1, "шт."}, {2, "кг"}}) {
      w.SetLong("VolID", id);
      w.SetText("VolName", T(name));
      w.Append();
    }
  };
  f.people = [](W_& w) {
    w.SetLong("PeopleID", 5);
    w.SetLong("FirmPID", 1);
    w.SetText("FirstNamePeople", T("Иван"));
    w.SetText("SecondNamePeople", T("Иванович"));
    w.SetText("LastNamePeople", T("Иванов"));
    w.SetText("Pasport", "4501 123456");
    w.Append();
  };
  f.templates = [](W_& w) {
    w.SetLong("ID", 50);
    w.SetMemo("Comment", T("Оплата по счёту"));
    w.Append();
    w.SetLong("ID", 7);
    w.SetMemo("Comment", T("Строка1\r\nСтрока2"));
    w.Append();
    w.SetLong("ID", 99);
    w.Append();
  };
  f.document = [](W_& w) {
    SetDocument(w, 1001, 1);
    w.SetText("TypeNaklad", T("Товарная накладная"));
    w.SetDate("Date", 2003, 5, 1);
    w.SetText("Note", T("Первая строка\r\nВторая строка"));
    w.SetText("Number", "15/2");
    w.SetLong("SenderID", 1);
    w.SetLong("PeopleID", 5);
    w.SetLong("FirmPID", 2);
    w.SetNumber("Summa", 1200.5);
    w.SetNumber("nalvalue", 5);
    w.SetLogical("naltype", true);
    w.Append();
    SetDocument(w, 1002, 2);
    w.SetDate("Date", 2003, 5, 2);
    w.SetText("Note", T("доп"));
    w.SetLong("SenderID", 2);
    w.SetLong("FirmPID", 1);
    w.SetMemo("MemoPok", T("покупатель"));
    w.SetMemo("MemoPlat", T("плательщик"));
    w.SetNumber("nalvalue", 0);
    w.SetText("BaseNumber", T("Сч-7"));
    w.SetDate("BaseDate", 2003, 4, 30);
    w.Append();
    SetDocument(w, 1003, 3);
    w.SetText("Number", "3");
    w.Append();
    SetDocument(w, 1004, 4);
    w.SetText("Number", T("А-125/3"));
    w.SetMemo("MemoPok", T("примечание"));
    w.Append();
    SetDocument(w, 1005, 5);
    w.SetText("Note", T("акт"));
    w.SetMemo("MemoPok", T("пок"));
    w.SetMemo("MemoPlat", T("плат"));
    w.Append();
    SetDocument(w, 1006, 6);
    w.SetLong("SenderID", 1);
    w.SetLong("FirmPID", 2);
    w.SetNumber("Summa", 118);
    w.SetNumber("NDS", 18);
    w.SetLogical("NDSAlloc", true);
    w.SetText("Note", T("осн"));
    w.SetMemo("MemoPlat", T("налог\r\nвторая"));
    w.Append();
    SetDocument(w, 1007, 6);
    w.Append();
    SetDocument(w, 1008, 6);
    w.SetNumber("NDS", 0);
    w.Append();
    SetDocument(w, 1009, 0);
    w.Append();
    SetDocument(w, 1010, 7);
    w.Append();
    SetDocument(w, 1500, 1);
    w.SetText("Number", "1500");
    w.Append();
  };
  f.main = [](W_& w) {
    w.SetLong("ID", 900);
    w.SetLong("No", 57);
    w.SetDate("Date", 2001, 1, 1);
    w.SetDate("DocDate", 2003, 5, 2);
    w.SetLong("Sender", 1);
    w.SetLong("Receiver", 2);
    w.SetShort("SendByPost", 2);
    w.SetNumber("Sum", 1000);
    w.SetNumber("NDS", 152.54);
    w.SetDate("PayDate", 2003, 5, 3);
    w.SetLong("PayOrder", 17);
    w.SetText("VidOper", "01");
    w.SetText("Cod", "1234567");
    w.SetMemo("Comment", T("Оплата\r\nпо счёту"));
    w.SetText("NDSString", T("НДС 18%"));
    w.SetLogical("PrintNDS", true);
    w.Append();
    w.SetLong("No", 58);
    w.SetShort("SendByPost", 0);
    w.SetLong("PayOrder", 2147483647);
    w.Append();
    w.SetShort("SendByPost", 7);
    w.Append();
  };
  f.fullstorage = [](W_& w) {
    w.SetLong("DocID", 1001);
    w.SetLong("ModelID", 10);
    w.SetNumber("Price", 12.5);
    w.SetNumber("NDS", 20);
    w.SetLogical("NDSAlloc", true);
    w.SetNumber("Count", 3);
    w.SetLong("VolID", 1);
    w.SetLong("GroupID", 3);
    w.SetLong("countryid", 643);
    w.SetText("numdeclar", T("ГТД-1"));
    w.SetText("ModelName", T("не используется"));
    w.SetLong("StorageID", 4);
    w.Append();
    w.SetLong("DocID", 1004);
    w.SetNumber("Count", 5);
    w.Append();
    w.SetLong("DocID", 1003);
    w.SetNumber("Count", 2);
    w.Append();
    w.SetLong("DocID", 1400);
    w.SetNumber("Count", 4);
    w.SetLong("GroupID", 0);
    w.SetLong("countryid", -10);
    w.Append();
    w.SetLong("DocID", 1001);
    w.SetNumber("NDS", 7);
    w.SetNumber("Count", 1.5);
    w.SetLong("countryid", 0);
    w.Append();
  };
  return f;
}

}  // namespace ks::testing
