local function work(n)
  local flags = {}
  for i = 2, n do flags[i] = true end
  for i = 2, math.floor(math.sqrt(n)) do
    if flags[i] then
      for j = i * i, n, i do flags[j] = false end
    end
  end
  local count = 0
  for i = 2, n do if flags[i] then count = count + 1 end end
  local values = {}
  for i = 0, 9999 do values[i] = i % 100 end
  local total = 0
  for k = 1, 50 do
    for i = 0, 9999 do total = total + values[i] end
  end
  return count .. " " .. total
end
print(work(1000000))
