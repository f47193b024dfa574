from xml.dom import minidom
def work():
    xml = "<items>" + "".join('<item id="%d" name="n%d"/>' % (i, i % 100) for i in range(1, 2001)) + "</items>"
    doc = minidom.parseString(xml)
    total = 0
    for k in range(100):
        for node in doc.documentElement.childNodes:
            total = total + len(node.getAttribute("name")) + int(node.getAttribute("id"))
    return total
print(work())
