local function work(n)
  local s, x = 0, 0.5
  for i = 1, n do
    s = s + (i % 7) * 2 - 1
    x = x * 1.0000001 + 0.25
  end
  return s .. " " .. math.floor(x)
end
print(work(3000000))
