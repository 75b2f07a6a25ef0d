#include "app/converter.h"

namespace ks {

Converter::Converter() = default;
Converter::~Converter() = default;

void Converter::TakeDatabasePath(const std::string& database_path) { database_path_ = database_path; }

bool Converter::Run(IMainWindow& /*window*/) { return true; }

}  // namespace ks
