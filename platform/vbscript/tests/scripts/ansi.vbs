WScript.Echo "ANSI: 中文", Len("中文"), Asc("中")
