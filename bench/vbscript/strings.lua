local function work(n)
  local parts = {}
  for i = 1, n do
    parts[#parts + 1] = "ab" .. (i % 10)
  end
  local s = table.concat(parts)
  local count = 0
  for i = 1, #s, 3 do
    if s:sub(i, i) == "a" then count = count + 1 end
  end
  return #s .. " " .. count .. " " .. (s:find("ab9ab0", 1, true) or 0)
end
print(work(300000))
