// The two engines behind Store (store.h), opened by open_store from its URL.
#pragma once

#include <memory>
#include <string>

#include "server/store.h"

std::unique_ptr<Store> open_sqlite_store(const std::string& path, int connections,
                                         std::string& error);
std::unique_ptr<Store> open_postgres_store(const std::string& url, int connections,
                                           std::string& error);
