#include "tools/legacy_db_generator.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/codepage.h"
#include "common/date_time.h"
#include "common/exception.h"
#include "tools/demo_random.h"
#include "tools/paradox_writer.h"

namespace ks {

LegacyDbSize LegacyDbSize::Scaled(int factor) {
  LegacyDbSize size;
  size.documents *= factor;
  size.lines *= factor;
  size.payments *= factor;
  size.goods *= factor;
  size.firms *= factor;
  size.people *= factor;
  return size;
}

namespace {

constexpr uint64_t kSeed = 0x5EED2003;
constexpr int32_t kNoPayOrder = INT32_MAX;  // the legacy mark for an order without a number

// ---------------------------------------------------------------------------------------
// Texts. Everything is written in UTF-8 here and converted to Windows-1251 on the way out.

const char* const kGroups[] = {
    "Канцелярские товары", "Бумага и картон",        "Оргтехника",
    "Расходные материалы", "Мебель офисная",         "Хозяйственные товары",
    "Электротовары",       "Компьютерные комплектующие", "Упаковка",
    "Бытовая химия",       "Продукты питания",       "Услуги"};
constexpr int kGroupCount = sizeof(kGroups) / sizeof(kGroups[0]);

// Goods by group (same order as kGroups): name stem and unit.
struct GoodsStem {
  const char* name;
  int vol;
};
const GoodsStem kStems[kGroupCount][4] = {
    {{"Ручка шариковая синяя", 1}, {"Папка-регистратор 75 мм", 1}, {"Скрепки 28 мм, 100 шт.", 5}, {"Степлер №24/6", 1}},
    {{"Бумага офисная А4 80 г/м2, 500 л.", 9}, {"Бумага для факса 210 мм", 10}, {"Картон переплётный", 2}, {"Конверт С4 с окном", 1}},
    {{"Принтер лазерный А4", 1}, {"Калькулятор настольный 12 разр.", 1}, {"Факсимильный аппарат", 1}, {"Уничтожитель бумаг", 1}},
    {{"Картридж для лазерного принтера", 1}, {"Тонер, флакон 150 г", 1}, {"Дискета 3,5\" 1,44 Мб", 5}, {"Лента красящая", 1}},
    {{"Стол письменный 1200×600", 1}, {"Кресло офисное", 1}, {"Шкаф для документов", 1}, {"Тумба подкатная", 1}},
    {{"Мешки для мусора 60 л", 10}, {"Перчатки хозяйственные", 11}, {"Ведро пластмассовое 10 л", 1}, {"Швабра", 1}},
    {{"Лампа люминесцентная 36 Вт", 1}, {"Удлинитель 5 м", 1}, {"Кабель ВВГ 3×2,5", 3}, {"Выключатель одноклавишный", 1}},
    {{"Модуль памяти 256 Мб", 1}, {"Жёсткий диск 40 Гб", 1}, {"Клавиатура", 1}, {"Манипулятор «мышь»", 1}},
    {{"Коробка картонная 400×300×300", 1}, {"Плёнка стрейч 500 мм", 10}, {"Скотч упаковочный 50 мм", 1}, {"Пакет полиэтиленовый", 5}},
    {{"Средство моющее", 4}, {"Порошок стиральный", 2}, {"Мыло хозяйственное", 1}, {"Чистящее средство", 1}},
    {{"Чай чёрный байховый", 5}, {"Кофе растворимый", 2}, {"Сахар-песок", 2}, {"Вода питьевая 19 л", 1}},
    {{"Доставка товара", 12}, {"Ремонт оргтехники", 12}, {"Заправка картриджа", 12}, {"Монтаж электропроводки", 12}}};

struct Country {
  int id;
  const char* name;
};
const Country kCountries[] = {
    {-10, "<не указана>"}, {1, "Россия"},       {2, "Украина"},  {3, "Беларусь"},
    {4, "Казахстан"},      {5, "Китай"},        {6, "Германия"}, {7, "Финляндия"},
    {8, "Польша"},         {9, "Италия"},       {10, "Япония"},  {11, "Республика Корея"},
    {12, "США"},           {13, "Тайвань (Китай)"}, {14, "Чехия"}};

const char* const kVolumes[] = {"шт.",    "кг",     "м",     "л",    "упак.", "компл.",
                                "т",      "м2",     "пачка", "рулон", "пара",  "услуга"};

const char* const kFirmWords[] = {
    "Ромашка",  "Вектор",    "Альфа-Сервис", "Технопром", "Уралснаб",  "Мегаполис", "Гарант",
    "Комплект", "Спектр",    "Интерторг",    "Прогресс",  "Стройдеталь", "Восток",  "Меридиан",
    "Лидер",    "Контур",    "Форум",        "Орион",     "Партнёр",   "Северная звезда"};
const char* const kCities[] = {"г. Москва", "г. Екатеринбург", "г. Новосибирск", "г. Самара",
                               "г. Нижний Новгород", "г. Пермь", "г. Тверь", "г. Казань"};
const char* const kStreets[] = {"ул. Ленина", "ул. Садовая", "пр-т Мира", "ул. Заводская",
                                "ул. Гагарина", "Октябрьский пр-т", "ул. Чапаева", "ш. Энтузиастов"};
const char* const kBanks[] = {"АКБ «Промышленный»", "КБ «Северный кредит»", "ОАО «Городской банк»",
                              "АКБ «Волга-Кредит»", "ЗАО КБ «Уральский»"};

const char* const kMaleFirst[] = {"Александр", "Сергей", "Владимир", "Андрей", "Николай",
                                  "Игорь", "Дмитрий", "Виктор", "Михаил", "Юрий"};
const char* const kMaleSecond[] = {"Иванович", "Петрович", "Сергеевич", "Николаевич", "Александрович",
                                   "Викторович", "Михайлович", "Юрьевич"};
const char* const kMaleLast[] = {"Иванов", "Смирнов", "Кузнецов", "Попов", "Соколов", "Лебедев",
                                 "Козлов", "Новиков", "Морозов", "Волков", "Зайцев", "Павлов"};
const char* const kFemaleFirst[] = {"Елена", "Ольга", "Татьяна", "Наталья", "Ирина", "Светлана",
                                    "Галина", "Людмила"};
const char* const kFemaleSecond[] = {"Ивановна", "Петровна", "Сергеевна", "Николаевна",
                                     "Александровна", "Викторовна", "Михайловна"};
const char* const kFemaleLast[] = {"Иванова", "Смирнова", "Кузнецова", "Попова", "Соколова",
                                   "Лебедева", "Козлова", "Новикова", "Морозова", "Волкова"};

const char* const kWaybillKinds[] = {"Товарная накладная", "Накладная на отпуск товара",
                                     "Расходная накладная", "ТОРГ-12", ""};

// ---------------------------------------------------------------------------------------
// Helpers.

std::string Cp(const std::string& utf8) { return Utf8ToCp1251(utf8); }

std::string Num(long long v) { return std::to_string(v); }

// 1234.5 as the payment orders write sums: "1234-50".
std::string Rub(double v) {
  const long long k = std::llround(v * 100);
  char buf[40];
  std::snprintf(buf, sizeof buf, "%lld-%02lld", k / 100, k % 100);
  return buf;
}

double Round2(double v) { return std::round(v * 100.0) / 100.0; }

struct Day {
  int year, month, day;
};

// `offset` days after 9 January 2001.
Day DayAfterStart(int offset) {
  DateTime start;
  TryEncodeDate(2001, 1, 9, start);
  Day d{};
  DecodeDate(DateTime{start.value + offset}, d.year, d.month, d.day);
  return d;
}

std::string DayText(const Day& d) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", d.day, d.month, d.year);
  return buf;
}

// The date part of a customs declaration number: DDMMYY.
std::string CustomsDay(const Day& d) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d%02d%02d", d.day, d.month, d.year % 100);
  return buf;
}

void SetDay(ParadoxTableWriter& t, const char* field, const Day& d) { t.SetDate(field, d.year, d.month, d.day); }

// Taxpayer numbers with valid check digits: ten digits for a company, twelve for a person.
std::string Inn(DemoRandom& rnd, bool person) {
  static const int w10[] = {2, 4, 10, 3, 5, 9, 4, 6, 8};
  static const int w11[] = {7, 2, 4, 10, 3, 5, 9, 4, 6, 8};
  static const int w12[] = {3, 7, 2, 4, 10, 3, 5, 9, 4, 6, 8};
  std::string s = Num(rnd.Between(10, 78)) + rnd.Digits(person ? 8 : 7);
  auto check = [&](const int* w, size_t n) {
    int sum = 0;
    for (size_t i = 0; i < n; ++i) sum += (s[i] - '0') * w[i];
    s += static_cast<char>('0' + sum % 11 % 10);
  };
  if (person) {
    check(w11, 10);
    check(w12, 11);
  } else {
    check(w10, 9);
  }
  return s;
}

// ---------------------------------------------------------------------------------------
// The reference books, kept in memory for the documents that point at them.

struct Firm {
  int id;
  std::string short_name, full_name, address, account, corr, bank, bik, inn, kpp;
  bool own;
};

struct Good {
  int id;
  std::string name;
  double price;
  double nds;
  int alloc;  // 1 true, 0 false, -1 blank
  int country;
  std::string declaration;
  int group;
  int vol;
};

// Where the tables go and the code page their texts are written in.
struct Output {
  std::string dir;
  int code_page;
};

std::string Path(const Output& out, const char* file) { return out.dir + "/" + file; }

void WriteGroups(const Output& out) {
  ParadoxTableWriter t(Path(out, "Group.DB"), "Group", {{"GroupID", 'I'}, {"GroupName", 'A', 50}}, 1);
  t.SetCodePage(out.code_page);
  t.SetLong("GroupID", 0);
  t.SetText("GroupName", Cp("Без группы"));
  t.Append();
  for (int i = 0; i < kGroupCount; ++i) {
    t.SetLong("GroupID", i + 1);
    t.SetText("GroupName", Cp(kGroups[i]));
    t.Append();
  }
  t.Close();
}

void WriteCountries(const Output& out) {
  ParadoxTableWriter t(Path(out, "Country.DB"), "Country", {{"CountryID", 'I'}, {"CountryName", 'A', 30}}, 1);
  t.SetCodePage(out.code_page);
  for (const Country& c : kCountries) {
    t.SetLong("CountryID", c.id);
    t.SetText("CountryName", Cp(c.name));
    t.Append();
  }
  t.Close();
}

void WriteVolumes(const Output& out) {
  ParadoxTableWriter t(Path(out, "vol.DB"), "vol", {{"VolID", 'I'}, {"VolName", 'A', 20}}, 1);
  t.SetCodePage(out.code_page);
  int id = 0;
  for (const char* name : kVolumes) {
    t.SetLong("VolID", ++id);
    t.SetText("VolName", Cp(name));
    t.Append();
  }
  t.Close();
}

// Person `id` works for firm ((id - 1) % firms) + 1; so firm f has the people f, f + firms, ...
int FirmOfPerson(int id, int firms) { return (id - 1) % firms + 1; }

std::vector<Firm> WriteFirms(const Output& out, const LegacyDbSize& size) {
  DemoRandom rnd(kSeed ^ 0x4F);
  ParadoxTableWriter t(Path(out, "FirmRef.DB"), "FirmRef",
                       {{"RefID", 'I'},        {"Veltro", 'L'},         {"ShortName", 'A', 30},
                        {"FullName", 'A', 200}, {"Addres", 'A', 255},    {"RDep", 'A', 50},
                        {"CDep", 'A', 50},      {"Bank", 'A', 200},      {"INN", 'A', 30},
                        {"KPP", 'A', 30},       {"OKONH_Code", 'A', 150}, {"OKPO_Code", 'A', 150},
                        {"Bik", 'A', 15},       {"Cargo", 'A', 255},     {"SecPodp", 'L'},
                        {"seal", 'L'},          {"ChiefID", 'I'},        {"AccountantID", 'I'},
                        {"CashierID", 'I'}},
                       1, {}, size.firms);
  t.SetCodePage(out.code_page);
  std::vector<Firm> firms;
  const int word_count = sizeof(kFirmWords) / sizeof(kFirmWords[0]);
  for (int id = 1; id <= size.firms; ++id) {
    Firm f;
    f.id = id;
    f.own = id <= 2;
    const bool person = !f.own && rnd.Percent(15);
    std::string word = kFirmWords[(id - 1) % word_count];
    if (id > word_count) word += "-" + Num((id - 1) / word_count + 1);
    if (person) {
      const std::string last = rnd.Pick(kMaleLast);
      f.short_name = "ИП " + last + " " + std::string(rnd.Pick(kMaleFirst)).substr(0, 2) + ".";
      f.full_name = "Индивидуальный предприниматель " + last + " " + rnd.Pick(kMaleFirst) + " " + rnd.Pick(kMaleSecond);
    } else {
      static const char* const kForms[][2] = {{"ООО", "Общество с ограниченной ответственностью"},
                                              {"ЗАО", "Закрытое акционерное общество"},
                                              {"ОАО", "Открытое акционерное общество"}};
      const auto& form = rnd.Pick(kForms);
      f.short_name = std::string(form[0]) + " «" + word + "»";
      f.full_name = std::string(form[1]) + " «" + word + "»";
      if (id == 5) {
        // A full name that fills its legacy field and outgrows most target fields.
        f.full_name += " (торгово-производственная компания по оптовой и розничной торговле "
                       "канцелярскими товарами, оргтехникой и расходными материалами)";
      }
    }
    f.address = Num(rnd.Between(101000, 690000)) + ", " + rnd.Pick(kCities) + ", " + rnd.Pick(kStreets) +
                ", д. " + Num(rnd.Between(1, 120)) + (rnd.Percent(50) ? ", оф. " + Num(rnd.Between(1, 450)) : "");
    f.account = "40702810" + rnd.Digits(12);
    f.corr = "30101810" + rnd.Digits(12);
    f.bank = std::string(rnd.Pick(kBanks)) + ", " + rnd.Pick(kCities);
    f.bik = "04" + rnd.Digits(7);
    f.inn = Inn(rnd, person);
    f.kpp = person ? "" : f.inn.substr(0, 4) + "01001";

    t.SetLong("RefID", id);
    if (f.own)
      t.SetLogical("Veltro", true);
    else if (id % 7 != 0)  // some records never had the flag set
      t.SetLogical("Veltro", false);
    t.SetText("ShortName", Cp(f.short_name));
    t.SetText("FullName", Cp(f.full_name));
    t.SetText("Addres", Cp(f.address));
    t.SetText("RDep", f.account);
    t.SetText("CDep", f.corr);
    t.SetText("Bank", Cp(f.bank));
    t.SetText("INN", f.inn);
    t.SetText("KPP", f.kpp);
    if (!rnd.Percent(30)) t.SetText("OKONH_Code", rnd.Percent(70) ? "71100" : "71100, 71200");
    if (!rnd.Percent(30)) t.SetText("OKPO_Code", rnd.Digits(8));
    t.SetText("Bik", f.bik);
    if (rnd.Percent(40)) t.SetText("Cargo", Cp(rnd.Percent(50) ? "Он же" : f.full_name + ", " + f.address));
    if (rnd.Percent(85)) t.SetLogical("SecPodp", rnd.Percent(30));
    if (rnd.Percent(85)) t.SetLogical("seal", rnd.Percent(20));
    if ((f.own || rnd.Percent(50)) && id <= size.people) {
      // The firm's own people; in a small firm the chief keeps the books as well.
      const int second = id + size.firms <= size.people ? id + size.firms : id;
      t.SetLong("ChiefID", id);
      t.SetLong("AccountantID", second);
      if (f.own) t.SetLong("CashierID", id + 2 * size.firms <= size.people ? id + 2 * size.firms : second);
    }
    t.Append();
    firms.push_back(std::move(f));
  }
  t.Close();
  return firms;
}

void WritePeople(const Output& out, const LegacyDbSize& size) {
  DemoRandom rnd(kSeed ^ 0x50);
  ParadoxTableWriter t(Path(out, "People.DB"), "People",
                       {{"PeopleID", 'I'},
                        {"FirmPID", 'I'},
                        {"FirstNamePeople", 'A', 30},
                        {"SecondNamePeople", 'A', 30},
                        {"LastNamePeople", 'A', 30},
                        {"Pasport", 'A', 100}},
                       1, {}, size.people);
  t.SetCodePage(out.code_page);
  for (int id = 1; id <= size.people; ++id) {
    t.SetLong("PeopleID", id);
    if (id % 23 != 0) t.SetLong("FirmPID", FirmOfPerson(id, size.firms));  // a few belong to no firm
    const bool woman = rnd.Percent(45);
    t.SetText("FirstNamePeople", Cp(woman ? rnd.Pick(kFemaleFirst) : rnd.Pick(kMaleFirst)));
    t.SetText("SecondNamePeople", Cp(woman ? rnd.Pick(kFemaleSecond) : rnd.Pick(kMaleSecond)));
    t.SetText("LastNamePeople", Cp(woman ? rnd.Pick(kFemaleLast) : rnd.Pick(kMaleLast)));
    if (rnd.Percent(60)) {
      const Day issued = DayAfterStart(rnd.Between(-3000, 300));
      t.SetText("Pasport", Cp(rnd.Digits(2) + " " + rnd.Digits(2) + " " + rnd.Digits(6) + ", выдан ОВД " +
                              rnd.Pick(kCities) + " " + DayText(issued)));
    }
    t.Append();
  }
  t.Close();
}

std::vector<Good> WriteGoods(const Output& out, const LegacyDbSize& size) {
  DemoRandom rnd(kSeed ^ 0x4D);
  ParadoxTableWriter t(Path(out, "Model.DB"), "Model",
                       {{"ModelID", 'I'},
                        {"ModelName", 'A', 100},
                        {"Price", 'N'},
                        {"NDS", 'N'},
                        {"NDSAlloc", 'L'},
                        {"countryid", 'I'},
                        {"numdeclar", 'A', 40},
                        {"GroupID", 'I'},
                        {"VolID", 'I'},
                        {"GroupName", 'A', 50}},
                       1, {}, size.goods);
  t.SetCodePage(out.code_page);
  std::vector<Good> goods;
  for (int id = 1; id <= size.goods; ++id) {
    Good g;
    g.id = id;
    const int group = rnd.Between(0, kGroupCount - 1);
    const GoodsStem& stem = kStems[group][rnd.Between(0, 3)];
    g.name = stem.name;
    if (id > kGroupCount) g.name += ", арт. " + Num(1000 + id);
    g.vol = stem.vol;
    g.price = rnd.Money(group == 2 || group == 4 ? 800 : 5, group == 2 || group == 4 ? 25000 : 900);
    const bool food = group == 10;
    g.nds = food ? 10 : (rnd.Percent(80) ? 18 : (rnd.Percent(50) ? 20 : 0));
    g.alloc = rnd.Percent(10) ? -1 : (rnd.Percent(20) ? 1 : 0);
    const int roll = rnd.Between(0, 99);
    g.country = roll < 55 ? 1 : roll < 85 ? rnd.Between(2, 14) : roll < 93 ? -10 : 0;
    // The odd values appear whatever the dice say: no country, country 0, both tax flags.
    if (id == 3) g.country = -10;
    if (id == 4) g.country = 0;
    if (id == 2) g.alloc = 1;
    if (id == 5) g.alloc = -1;
    if (id == 6) g.alloc = 0;
    if (g.country > 1) g.declaration = "10130020/" + CustomsDay(DayAfterStart(rnd.Between(0, 1200))) + "/" + rnd.Digits(7);
    // Goods without a group, and one whose group was deleted long ago.
    g.group = id % 11 == 0 ? 0 : (id == 7 ? 99 : group + 1);

    t.SetLong("ModelID", id);
    t.SetText("ModelName", Cp(g.name));
    t.SetNumber("Price", g.price);
    t.SetNumber("NDS", g.nds);
    if (g.alloc >= 0) t.SetLogical("NDSAlloc", g.alloc == 1);
    t.SetLong("countryid", g.country);
    t.SetText("numdeclar", g.declaration);
    t.SetLong("GroupID", g.group);
    t.SetLong("VolID", g.vol);
    if (g.group >= 1 && g.group <= kGroupCount) t.SetText("GroupName", Cp(kGroups[g.group - 1]));
    t.Append();
    goods.push_back(std::move(g));
  }
  t.Close();
  return goods;
}

void WriteTemplates(const Output& out) {
  ParadoxTableWriter t(Path(out, "Template.DB"), "Template",
                       {{"ID", 'I'}, {"ShortComment", 'A', 50}, {"Comment", 'M', 40}}, 0,
                       Path(out, "Template.MB"));
  t.SetCodePage(out.code_page);
  struct Row {
    int id;
    const char* caption;
    const char* text;
  };
  // Not in identifier order: the table has no key and the rows came as they were typed.
  static const Row kRows[] = {
      {5, "Оплата по счёту",
       "Оплата по счёту № ___ от ___ за ___\r\nСумма ___\r\nВ т.ч. НДС (18%) ___"},
      {2, "Предоплата", "Предоплата"},
      {7, "Аренда",
       "Арендная плата за ___ 2003 г. по договору № ___ от ___\r\nВ т.ч. НДС (20%) ___"},
      {1, "Налог", "Налог на добавленную стоимость за ___ квартал\r\nНДС не облагается"},
      {3, "Возврат", "Возврат ошибочно перечисленных средств\r\nпо п/п № ___ от ___\r\nБез налога (НДС)"},
      {8, "Услуги связи", "Оплата услуг связи за ___\r\nпо счёту № ___"}};
  for (const Row& r : kRows) {
    t.SetLong("ID", r.id);
    t.SetText("ShortComment", Cp(r.caption));
    t.SetMemo("Comment", Cp(r.text));
    t.Append();
  }
  t.Close();
}

// ---------------------------------------------------------------------------------------
// Documents and their goods lines, written side by side so that a document's sum is the sum
// of its lines.

std::string Requisites(const Firm& f, bool one_line) {
  std::string s = f.short_name + ", ИНН " + f.inn + (f.kpp.empty() ? "" : ", КПП " + f.kpp);
  if (one_line) return s;
  return s + "\r\n" + f.address + "\r\nр/с " + f.account + " в " + f.bank + "\r\nк/с " + f.corr + ", БИК " + f.bik;
}

std::string DocumentNumber(DemoRandom& rnd, int serial) {
  const int roll = rnd.Between(0, 99);
  if (roll < 55) return Num(serial);
  if (roll < 68) return Num(serial) + "/" + Num(rnd.Between(1, 9));
  if (roll < 78) return "А-" + Num(serial) + "/" + Num(rnd.Between(1, 5));
  if (roll < 85) return "СФ-" + std::string(5 - std::min<size_t>(5, Num(serial).size()), '0') + Num(serial);
  if (roll < 90) return "00" + Num(rnd.Between(1, 9));
  if (roll < 96) return "б/н";
  return "";
}

int PickType(DemoRandom& rnd, int index) {
  static const int kFirst[] = {1, 2, 3, 4, 5, 6, 0};  // every kind at least once
  if (index < 7) return kFirst[index];
  if (index % 120 == 60) return 4;  // a power of attorney with a long list, see below
  const int roll = rnd.Between(0, 99);
  if (roll < 30) return 1;
  if (roll < 55) return 2;
  if (roll < 75) return 5;
  if (roll < 85) return 4;
  if (roll < 95) return 6;
  if (roll < 98) return 3;
  return 0;
}

// How many goods lines each document gets, adding up to `total`.
std::vector<int> SpreadLines(DemoRandom& rnd, int documents, int total) {
  std::vector<int> counts(documents, 0);
  if (documents == 0) return counts;
  const int average = std::max(1, total / documents);
  long long sum = 0;
  for (int& c : counts) sum += c = rnd.Between(std::max(0, average / 2), average + average / 2 + 1);
  for (size_t i = 0; sum != total; i = (i + 1) % counts.size()) {
    if (sum < total) {
      ++counts[i];
      ++sum;
    } else if (counts[i] > 0) {
      --counts[i];
      --sum;
    }
  }
  return counts;
}

class DocumentArchive {
 public:
  DocumentArchive(const Output& out, const LegacyDbSize& size, const std::vector<Firm>& firms,
                  const std::vector<Good>& goods)
      : size_(size),
        firms_(firms),
        goods_(goods),
        rnd_(kSeed ^ 0x44),
        docs_(Path(out, "Document.DB"), "Document",
              {{"DocumentID", 'I'}, {"TypeDoc", 'I'},     {"TypeNaklad", 'A', 30}, {"Date", 'D'},
               {"Note", 'A', 255},  {"Number", 'A', 30},  {"SenderID", 'I'},       {"PeopleID", 'I'},
               {"FirmPID", 'I'},    {"MemoPok", 'M', 30}, {"MemoPlat", 'M', 30},   {"Summa", 'N'},
               {"nalvalue", 'N'},   {"naltype", 'L'},     {"NDS", 'N'},            {"NDSAlloc", 'L'},
               {"BaseNumber", 'A', 30}, {"BaseDate", 'D'}},
              1, Path(out, "Document.MB"), size.documents),
        lines_(Path(out, "FULLSTORAGE.DB"), "FULLSTORAGE",
               {{"DocID", 'I'},     {"ModelID", 'I'},        {"Price", 'N'},  {"NDS", 'N'},
                {"NDSAlloc", 'L'},  {"Count", 'N'},          {"VolID", 'I'},  {"GroupID", 'I'},
                {"countryid", 'I'}, {"numdeclar", 'A', 40},  {"ModelName", 'A', 100},
                {"GroupName", 'A', 50}, {"StorageID", 'I'}},
               0, {}, size.lines) {
    docs_.SetCodePage(out.code_page);
    lines_.SetCodePage(out.code_page);
  }

  void Write() {
    // A few goods lines name documents that do not exist: some sit in the gaps between
    // identifiers, the last one lies above them all.
    const int orphans = size_.documents > 0 && size_.lines > 0 ? std::min(size_.lines, 3 + size_.lines / 400) : 0;
    std::vector<int> counts = SpreadLines(rnd_, size_.documents, size_.lines - orphans);
    int placed_orphans = 0;
    int id = 0;
    for (int i = 0; i < size_.documents; ++i) {
      const int step = rnd_.Between(1, 5);
      id += step;
      if (step > 1 && placed_orphans < orphans - 1 && i % 97 == 50) {
        WriteOrphanLine(id - 1);
        ++placed_orphans;
      }
      WriteDocument(i, id, counts[i]);
    }
    while (placed_orphans < orphans) {
      WriteOrphanLine(id + 1000 + placed_orphans);
      ++placed_orphans;
    }
    docs_.Close();
    lines_.Close();
  }

 private:
  const Firm* FirmById(int id) const { return id >= 1 && id <= static_cast<int>(firms_.size()) ? &firms_[id - 1] : nullptr; }

  // Writes the lines of one document and returns their sum.
  double WriteLines(int doc_id, int count, int type) {
    double sum = 0;
    for (int n = 0; n < count; ++n) {
      const Good& g = goods_[rnd_.Between(0, static_cast<int>(goods_.size()) - 1)];
      const double price = Round2(g.price * (rnd_.Percent(70) ? 1.0 : rnd_.Between(85, 120) / 100.0));
      const double quantity = g.vol == 2 || g.vol == 3 ? rnd_.Between(5, 2000) / 10.0
                              : g.price > 3000           ? rnd_.Between(1, 4)
                                                         : rnd_.Between(1, 60);
      WriteLine(doc_id, g, price, quantity, type == 4 && rnd_.Percent(50));
      sum += Round2(price * quantity);
    }
    return Round2(sum);
  }

  void WriteLine(int doc_id, const Good& g, double price, double quantity, bool blank_count) {
    lines_.SetLong("DocID", doc_id);
    lines_.SetLong("ModelID", g.id);
    lines_.SetNumber("Price", price);
    lines_.SetNumber("NDS", g.nds);
    if (g.alloc >= 0) lines_.SetLogical("NDSAlloc", g.alloc == 1);
    if (!blank_count) lines_.SetNumber("Count", quantity);
    lines_.SetLong("VolID", g.vol);
    lines_.SetLong("GroupID", g.group);
    lines_.SetLong("countryid", g.country);
    lines_.SetText("numdeclar", g.declaration);
    lines_.SetText("ModelName", Cp(g.name));
    if (g.group >= 1 && g.group <= kGroupCount) lines_.SetText("GroupName", Cp(kGroups[g.group - 1]));
    lines_.SetLong("StorageID", 1);
    lines_.Append();
  }

  void WriteOrphanLine(int doc_id) {
    const Good& g = goods_[doc_id % goods_.size()];
    WriteLine(doc_id, g, g.price, 1, false);
  }

  void WriteDocument(int index, int id, int line_count) {
    const int type = PickType(rnd_, index);
    const Day date = DayAfterStart(static_cast<int>(1200LL * index / std::max(1, size_.documents)));
    const int own = rnd_.Percent(80) ? 1 : std::min(2, static_cast<int>(firms_.size()));
    int partner = firms_.size() > 2 ? rnd_.Between(3, static_cast<int>(firms_.size())) : own;
    if (index % 211 == 100) partner = static_cast<int>(firms_.size()) + 50;  // a firm deleted since
    const Firm* partner_firm = FirmById(partner);
    const Firm& own_firm = firms_[own - 1];

    const double sum = goods_.empty() ? rnd_.Money(100, 50000) : WriteLines(id, line_count, type);

    docs_.SetLong("DocumentID", id);
    docs_.SetLong("TypeDoc", type);
    if (index % 173 != 90) SetDay(docs_, "Date", date);  // a few were saved without a date
    docs_.SetText("Number", Cp(DocumentNumber(rnd_, index + 1)));
    docs_.SetLong("SenderID", own);
    if (index % 59 != 30) docs_.SetLong("FirmPID", partner);
    if (size_.people > 0 && rnd_.Percent(60)) {
      // A representative of the partner when there is one.
      const int person = partner <= size_.people ? partner : rnd_.Between(1, size_.people);
      docs_.SetLong("PeopleID", person);
    }
    docs_.SetNumber("Summa", sum);

    const int tax = rnd_.Between(0, 9);  // the old sales tax: 5 %, 4 %, none or never filled in
    if (tax < 4) {
      docs_.SetNumber("nalvalue", tax < 2 ? 5 : 4);
      if (rnd_.Percent(80)) docs_.SetLogical("naltype", rnd_.Percent(40));
    } else if (tax < 8) {
      docs_.SetNumber("nalvalue", 0);
    }

    const int rate = date.year >= 2004 ? 18 : 20;
    const bool type6_blank_nds = type == 6 && rnd_.Percent(35);
    if (!type6_blank_nds) {
      docs_.SetNumber("NDS", type == 6 && rnd_.Percent(15) ? 0 : rate);
      if (rnd_.Percent(85)) docs_.SetLogical("NDSAlloc", rnd_.Percent(25));
    }

    std::string note, memo_pok, memo_plat;
    const std::string partner_text = partner_firm ? Requisites(*partner_firm, false) : "";
    const std::string own_text = Requisites(own_firm, false);
    switch (type) {
      case 1:
        docs_.SetText("TypeNaklad", Cp(rnd_.Pick(kWaybillKinds)));
        note = rnd_.Percent(40) ? "Договор поставки № " + Num(rnd_.Between(1, 90)) + "/0" + Num(rnd_.Between(1, 4)) +
                                      "\r\nДоверенность № " + Num(rnd_.Between(10, 900)) + " от " + DayText(date)
                                : (rnd_.Percent(50) ? "Основной договор" : "");
        break;
      case 2: {
        note = rnd_.Percent(30) ? "Грузоотправитель: он же\r\nГрузополучатель: " + (partner_firm ? partner_firm->address : "")
                                : "";
        memo_pok = partner_text;
        memo_plat = rnd_.Percent(70) ? partner_text : "";
        if (rnd_.Percent(85)) {
          docs_.SetText("BaseNumber", Num(rnd_.Between(1, 999)));
          if (rnd_.Percent(90)) SetDay(docs_, "BaseDate", DayAfterStart(rnd_.Between(0, 1200)));
        }
        break;
      }
      case 4:
        memo_pok = "Получить от " + (partner_firm ? partner_firm->short_name : std::string("поставщика")) +
                   " товарно-материальные ценности\r\nпо счёту № " + Num(rnd_.Between(1, 999)) + " от " + DayText(date);
        if (index % 120 == 60) {
          // A long memo that needs blob blocks of its own.
          for (int k = 1; k <= 40; ++k) memo_pok += "\r\n" + Num(k) + ". Перечень ценностей по приложению, позиция " + Num(k);
        }
        break;
      case 5:
        note = rnd_.Percent(50) ? "Счёт действителен в течение 5 банковских дней" : "";
        memo_plat = own_text;
        memo_pok = rnd_.Percent(80) ? partner_text : "см. договор";
        break;
      case 6:
        note = "Акт выполненных работ" + std::string(rnd_.Percent(50) ? "\r\nРаботы выполнены в полном объёме" : "");
        memo_plat = rnd_.Percent(70) ? partner_text : (partner_firm ? partner_firm->full_name : "");
        break;
      default:  // kinds the new package does not take over
        note = type == 3 ? "Возвратная накладная" : "Черновик";
        memo_pok = partner_text;
        break;
    }
    docs_.SetText("Note", Cp(note));
    docs_.SetMemo("MemoPok", Cp(memo_pok));
    docs_.SetMemo("MemoPlat", Cp(memo_plat));
    docs_.Append();
  }

  const LegacyDbSize& size_;
  const std::vector<Firm>& firms_;
  const std::vector<Good>& goods_;
  DemoRandom rnd_;
  ParadoxTableWriter docs_;
  ParadoxTableWriter lines_;
};

void WritePayments(const Output& out, const LegacyDbSize& size, const std::vector<Firm>& firms) {
  DemoRandom rnd(kSeed ^ 0x50A7);
  ParadoxTableWriter t(Path(out, "Main.DB"), "Main",
                       {{"ID", 'I'},        {"No", 'I'},          {"Date", 'D'},          {"DocDate", 'D'},
                        {"Sender", 'I'},    {"Receiver", 'I'},    {"SendByPost", 'S'},    {"Sum", 'N'},
                        {"NDS", 'N'},       {"PayDate", 'D'},     {"PayOrder", 'I'},      {"VidOper", 'A', 2},
                        {"Cod", 'A', 7},    {"Comment", 'M', 60}, {"NDSString", 'A', 200}, {"PrintNDS", 'L'},
                        {"BankDate", 'D'}},
                       1, Path(out, "Main.MB"), size.payments);
  t.SetCodePage(out.code_page);
  static const char* const kPurposes[] = {"бумагу офисную", "картриджи", "канцелярские товары",
                                          "оргтехнику", "услуги связи", "аренду помещения"};
  int number = 0;
  int year = 0;
  for (int i = 0; i < size.payments; ++i) {
    const Day date = DayAfterStart(static_cast<int>(1200LL * i / std::max(1, size.payments)));
    if (date.year != year) {
      year = date.year;
      number = 0;  // orders are numbered anew every year
    }
    ++number;
    const double sum = rnd.Money(150, 250000);
    const int rate = date.year >= 2004 ? 18 : 20;
    const bool with_nds = rnd.Percent(80);
    const double nds = with_nds ? Round2(sum * rate / (100.0 + rate)) : 0;
    // Every delivery code appears; one order carries a code the old program never offered.
    const int send_by_post = i < 6 ? i : (i == 40 ? 7 : rnd.Between(0, 5));

    t.SetLong("ID", i + 1);
    t.SetLong("No", number);
    SetDay(t, "Date", date);
    SetDay(t, "DocDate", date);
    t.SetLong("Sender", rnd.Percent(85) ? 1 : std::min(2, static_cast<int>(firms.size())));
    if (!firms.empty()) t.SetLong("Receiver", rnd.Between(1, static_cast<int>(firms.size())));
    t.SetShort("SendByPost", static_cast<int16_t>(send_by_post));
    t.SetNumber("Sum", sum);
    if (with_nds || rnd.Percent(50)) t.SetNumber("NDS", nds);
    if (!rnd.Percent(10)) SetDay(t, "PayDate", DayAfterStart(static_cast<int>(1200LL * i / std::max(1, size.payments)) + rnd.Between(0, 3)));
    t.SetLong("PayOrder", i % 7 == 3 ? kNoPayOrder : rnd.Between(1, 900));
    t.SetText("VidOper", "01");
    if (rnd.Percent(20)) t.SetText("Cod", rnd.Digits(7));
    std::string purpose = "Оплата по счёту № " + Num(rnd.Between(1, 999)) + " от " + DayText(date) + " за " +
                          rnd.Pick(kPurposes) + "\r\nСумма " + Rub(sum);
    const std::string nds_text = with_nds ? "В т.ч. НДС " + Num(rate) + "% - " + Rub(nds) : "Без налога (НДС)";
    if (rnd.Percent(70)) purpose += "\r\n" + nds_text;
    if (i % 25 != 12) t.SetMemo("Comment", Cp(purpose));  // a few orders were saved without a purpose
    t.SetText("NDSString", Cp(nds_text));
    t.SetLogical("PrintNDS", with_nds);
    if (rnd.Percent(70)) SetDay(t, "BankDate", DayAfterStart(static_cast<int>(1200LL * i / std::max(1, size.payments)) + 1));
    t.Append();
  }
  t.Close();
}

void MakeDirectory(const std::string& dir) {
  std::string path;
  size_t pos = 0;
  while (pos != std::string::npos) {
    pos = dir.find('/', pos + 1);
    path = dir.substr(0, pos);
    if (path.empty()) continue;
    if (::mkdir(path.c_str(), 0777) != 0 && errno != EEXIST)
      throw Exception(path + ": cannot create the directory (" + std::strerror(errno) + ")");
  }
}

}  // namespace

void GenerateLegacyDb(const std::string& dir, const LegacyDbSize& size, int code_page) {
  if (size.documents < 0 || size.lines < 0 || size.payments < 0 || size.goods < 0 || size.firms < 0 ||
      size.people < 0)
    throw Exception("counts must not be negative");
  if (size.lines > 0 && (size.goods == 0 || size.documents == 0))
    throw Exception("goods lines need at least one good and one document");
  if ((size.documents > 0 || size.payments > 0) && size.firms == 0)
    throw Exception("documents and payment orders need at least one firm");
  if (code_page != 1251 && code_page != 866) throw Exception("tables are written in code page 1251 or 866");
  MakeDirectory(dir);
  const Output out{dir, code_page};
  WriteGroups(out);
  WriteCountries(out);
  const std::vector<Firm> firms = WriteFirms(out, size);
  const std::vector<Good> goods = WriteGoods(out, size);
  WriteVolumes(out);
  WritePeople(out, size);
  WriteTemplates(out);
  DocumentArchive(out, size, firms, goods).Write();
  WritePayments(out, size, firms);
}

}  // namespace ks
