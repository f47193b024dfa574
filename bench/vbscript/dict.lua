local function work(n)
  local d, count = {}, 0
  for i = 1, n do d["k" .. i] = i; count = count + 1 end
  local s = 0
  for i = 1, n do
    local v = d["k" .. i]
    if v ~= nil then s = s + d["k" .. i] end
  end
  return count .. " " .. s
end
print(work(200000))
