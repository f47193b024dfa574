WScript.Echo "UTF-8: 中文", Len("中文")
