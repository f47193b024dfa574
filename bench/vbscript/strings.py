def work(n):
    s = ""
    for i in range(1, n + 1):
        s += "ab" + str(i % 10)
    count = 0
    for i in range(1, len(s) + 1, 3):
        if s[i - 1] == "a":
            count += 1
    return str(len(s)) + " " + str(count) + " " + str(s.find("ab9ab0") + 1)
print(work(300000))
