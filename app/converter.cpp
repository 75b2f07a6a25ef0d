#include "app/converter.h"

namespace ks {

Converter::Converter() = default;
Converter::~Converter() = default;

void Converter::TakeDatabasePath(const std::string& database_path) { database_path_ = database_path; }

void Converter::Run(IMainWindow& /*window*/) {}

}  // namespace ks
