-- The demo's sample database: a few small tables whose text was typed in every
-- letter case, ready to be put right with Vantrell.
PRAGMA foreign_keys = ON;

CREATE TABLE Cities (
    CityID INTEGER PRIMARY KEY,
    Name TEXT NOT NULL,
    Country TEXT,
    Region TEXT
);

INSERT INTO Cities (CityID, Name, Country, Region) VALUES
    (1, 'dublin', 'IRELAND', 'leinster'),
    (2, 'NEW YORK', 'united states', 'new york state'),
    (3, 'san francisco', 'United States', 'CALIFORNIA'),
    (4, 'münchen', 'germany', 'BAVARIA'),
    (5, 'São Paulo', 'BRAZIL', 'são paulo'),
    (6, 'st. john''s', 'canada', 'newfoundland AND labrador'),
    (7, 'AIX-EN-PROVENCE', 'france', 'provence-alpes-côte d''azur'),
    (8, 'kraków', 'POLAND', 'lesser poland'),
    (9, 'Cape town', 'south africa', 'WESTERN CAPE'),
    (10, 'reykjavík', 'iceland', NULL);

CREATE TABLE Customers (
    CustomerID INTEGER PRIMARY KEY,
    FirstName TEXT,
    LastName TEXT,
    Email TEXT,
    CityID INTEGER REFERENCES Cities (CityID),
    Notes TEXT
);

INSERT INTO Customers (CustomerID, FirstName, LastName, Email, CityID, Notes) VALUES
    (1, 'mARY', 'o''brien', 'Mary.OBrien@Example.com', 1, 'prefers EMAIL. pays on time.'),
    (2, 'JOHN', 'SMITH', 'john.smith@example.com', 2, 'called twice about the INVOICE. needs a copy.'),
    (3, 'ana', 'de la cruz', 'ANA.DELACRUZ@EXAMPLE.COM', 3, NULL),
    (4, 'Jürgen', 'MÜLLER', 'juergen.mueller@example.de', 4, 'speaks german and english. likes phone calls.'),
    (5, 'joão', 'silva', 'joao.silva@example.com.br', 5, 'NEW CUSTOMER SINCE MARCH.'),
    (6, 'peter', 'mcdonald', 'p.mcdonald@example.ca', 6, 'wholesale account - see contract 2019/04.'),
    (7, 'CLAIRE', 'dubois-martin', 'claire.dm@example.fr', 7, 'ask for claire, not the front desk.'),
    (8, 'zofia', 'NOWAK', 'zofia.nowak@example.pl', 8, ''),
    (9, 'thabo', 'MBEKI', 'thabo@example.co.za', 9, 'delivery to the WAREHOUSE only! no weekends.'),
    (10, 'sigrún', 'jónsdóttir', 'sigrun@example.is', 10, 'invoice in ISK. o''clock deliveries before noon.'),
    (11, 'li', 'WEI', 'li.wei@example.com', 3, 'referred by ana de la cruz.'),
    (12, 'ELIZABETH', 'van der berg', 'e.vanderberg@example.com', 2, 'vip. send the catalogue each spring.');

CREATE TABLE Products (
    ProductID INTEGER PRIMARY KEY,
    ProductName TEXT NOT NULL,
    Category TEXT,
    Description TEXT,
    UnitPrice NUMERIC
);

INSERT INTO Products (ProductID, ProductName, Category, Description, UnitPrice) VALUES
    (1, 'EARL GREY TEA', 'beverages', 'loose leaf black tea with BERGAMOT. 250 g tin.', 6.50),
    (2, 'darjeeling first flush', 'BEVERAGES', 'light and floral. picked in spring.', 9.80),
    (3, 'Dark Chocolate 70%', 'confectionery', 'single origin cocoa from ECUADOR.', 3.20),
    (4, 'olive oil, extra virgin', 'PANTRY', 'cold pressed. 500 ml bottle.', 11.00),
    (5, 'SEA SALT FLAKES', 'pantry', 'hand harvested. great on chocolate, too.', 4.75),
    (6, 'espresso beans', 'Beverages', 'DARK ROAST. 1 kg bag for the office machine.', 17.90),
    (7, 'maple syrup grade a', 'PANTRY', 'from quebec. amber colour, rich taste.', 12.40),
    (8, 'oatmeal cookies', 'CONFECTIONERY', 'baked daily. contains NUTS? no. contains oats.', 2.99);

-- Neither of these two appears in the table list: a view is no table, and
-- names that hold "sys" are left out.
CREATE VIEW CustomerCities AS
    SELECT c.FirstName, c.LastName, t.Name AS City
    FROM Customers c JOIN Cities t ON t.CityID = c.CityID;

CREATE TABLE SysChangeLog (
    EntryID INTEGER PRIMARY KEY,
    Happened TEXT,
    Note TEXT
);

INSERT INTO SysChangeLog (Happened, Note) VALUES ('2024-01-15 09:30', 'SAMPLE DATABASE CREATED');
