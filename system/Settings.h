// The "reg", "path" and "shortcut" families: settings that last, well-known folders, launchers.
#pragma once
