// The settings store: registry keys and string values kept in an SQLite database.
#pragma once
